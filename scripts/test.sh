#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the normal build, then the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
# Each step says how long it took, so that a slow one shows.
step() {
    echo "== $* (at ${SECONDS}s)"
}

step "Build and test"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs"

step "Package: build, lint, install, use and remove the .deb"
scripts/package-test.sh build

step "Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Lightly optimised, with line tables only: the suite runs twice as fast as at -O0, and the
# reports still name every function and line. The engine and the command line, where untrusted
# files are read, are built this way; the window is left to the normal build, as it doubles the
# build's time.
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DVELLUMARK_SANITIZE=address,undefined -DVELLUMARK_BENCH=OFF -DVELLUMARK_GUI=OFF
ctest --test-dir build-asan --output-on-failure -j "$jobs"

step "Fuzz briefly"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELLUMARK_FUZZ=ON -DVELLUMARK_GUI=OFF -DVELLUMARK_TESTS=OFF -DVELLUMARK_BENCH=OFF
cmake --build build-fuzz --target zip_update_fuzz document_fuzz page_images_fuzz pdf_fuzz cleanup_fuzz \
    structure_fuzz  # only these
for target in build-fuzz/bin/*_fuzz; do
    [ -x "$target" ] || continue
    corpus=$(mktemp -d)
    seeds="$root/fuzz/seeds/$(basename "$target")"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
    echo "-- $(basename "$target")"
    "$target" -max_total_time=12 -rss_limit_mb=2048 -timeout=10 "$corpus" 2>&1 | tail -n 3
    rm -rf "$corpus"
done
step "All checks passed."
