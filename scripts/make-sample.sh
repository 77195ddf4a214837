#!/usr/bin/env bash
# Builds makesample and writes samples/sample.tif, the three-page scan the demo converts.
# Build folder: $1 (default build-sample).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-sample}
[ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DVELLUMARK_TESTS=OFF -DVELLUMARK_BENCH=OFF
cmake --build "$dir" --target makesample
mkdir -p samples
"$dir/bin/makesample" samples/sample.tif
echo "Wrote samples/sample.tif ($(stat -c %s samples/sample.tif) bytes)"
