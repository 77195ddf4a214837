#!/usr/bin/env bash
# Installs what is needed, builds Vellumark and converts the bundled sample scan into a book.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
mkdir -p out
./build/bin/vellumark convert samples/sample.tif --title "Vellumark Sample" \
    --author "Vellumark" --output-dir out --overwrite
book="$(pwd)/out/Vellumark Sample.epub"
echo "== epubcheck"
java -jar /usr/share/java/epubcheck.jar "$book" 2>&1 | tail -n 2
echo "The book is at $book"
