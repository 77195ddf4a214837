#!/usr/bin/env bash
# usage: scale_out_test.sh VELLUMARK SOURCE_FOLDER
# Runs the recipes of docs/scale-out.md on this machine: GNU parallel with two local slots over a
# generated shelf, and convert-one.sh for every index as a job array would; each twice, the
# second run doing nothing; every book checked by epubcheck.
set -euo pipefail
vellumark=$(realpath "$1")
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/shared/shelf" "$work/shared/books" "$work/array-books"
for name in minutes letters ledger memo diary; do
    cp "$source/samples/sample.tif" "$work/shared/shelf/$name.tif"
done
# The recipe as written, with the hosts replaced by two slots on this machine.
bin=$work/bin
mkdir -p "$bin"
ln -s "$vellumark" "$bin/vellumark"
export PATH=$bin:$PATH

fail() { echo "scale_out_test: $*" >&2; exit 1; }
check_books() {
    local folder=$1
    [ "$(ls "$folder"/*.epub | wc -l)" -eq 5 ] || fail "not 5 books in $folder: $(ls "$folder")"
    # All in one Java start: epubcheck spends most of its time starting.
    local report
    report=$(java -cp /usr/share/java/epubcheck.jar "$source/tests/support/CheckBooks.java" \
        "$folder"/*.epub 2>&1) || fail "epubcheck refuses a book in $folder: $report"
    [ "$(grep -c "0 errors / 0 warnings" <<<"$report")" -eq 5 ] ||
        fail "epubcheck warns about a book in $folder: $report"
}

for round in 1 2; do
    ls "$work"/shared/shelf/*.tif | parallel -S 2/: --joblog "$work/convert.log" \
        'vellumark convert {} --author "Ann Author" --output-dir '"$work/shared/books"' \
         --jobs 1 --quiet --skip-existing'
    [ "$(awk 'NR > 1 && $7 != 0' "$work/convert.log" | wc -l)" -eq 0 ] ||
        fail "a parallel job failed: $(cat "$work/convert.log")"
done
check_books "$work/shared/books"

ls "$work"/shared/shelf/*.tif > "$work/shelf.list"
for round in 1 2; do
    for index in 0 1 2 3 4; do
        output=$("$source/docs/scale-out/convert-one.sh" "$work/shelf.list" "$index" \
            --author "Ann Author" --output-dir "$work/array-books" --jobs 1)
        if [ "$round" -eq 2 ]; then
            case $output in Skipped:*) ;; *) fail "a second run did work again: $output" ;; esac
        fi
    done
done
check_books "$work/array-books"
if "$source/docs/scale-out/convert-one.sh" "$work/shelf.list" 5 --author A 2>/dev/null; then
    fail "an index past the list was not refused"
fi
[ -z "$(ls -A "$TMPDIR")" ] || fail "staging folders were left: $(ls -A "$TMPDIR")"
echo "The scale-out recipes made every book, and made none twice."
