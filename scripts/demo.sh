#!/usr/bin/env bash
# Installs what is needed, builds Vellumark and converts the bundled sample scan into a book, and
# into an EPUB 3 fixed-layout book with its text as an invisible, searchable layer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
mkdir -p out
./build/bin/vellumark convert samples/sample.tif --title "Vellumark Sample" \
    --author "Vellumark" --output-dir out --overwrite
./build/bin/vellumark convert samples/sample.tif --title "Vellumark Sample (EPUB 3)" \
    --author "Vellumark" --output-dir out --overwrite --format epub3 --ocr --profile kobo-libra
for book in "out/Vellumark Sample.epub" "out/Vellumark Sample (EPUB 3).epub"; do
    echo "== epubcheck: $book"
    # The verdict ("No errors or warnings detected."), the count of messages, and any message.
    java -jar /usr/share/java/epubcheck.jar "$book" 2>&1 |
        grep -E '^(No errors or warnings detected|Messages:|(FATAL|ERROR|WARNING)\b)' || true
done
echo "The books are in $(pwd)/out"
