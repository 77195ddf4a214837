#!/bin/sh
# usage: ace_check.sh BOOK.epub
# Runs Ace by DAISY on BOOK with Debian's chromium; exits 1 on any critical, serious or moderate
# violation (each printed on a line of its own), 2 when Ace itself fails.
# ACE_DIR: the folder install.sh installed into.
set -u
here=$(cd "$(dirname "$0")" && pwd)
book=$1
: "${ACE_DIR:?ACE_DIR must name the folder install.sh installed into}"
export PUPPETEER_EXECUTABLE_PATH="${PUPPETEER_EXECUTABLE_PATH:-/usr/bin/chromium}"
out=$(mktemp -d) || exit 2
trap 'rm -rf "$out"' EXIT
# Ace keeps a log of every run under $XDG_STATE_HOME; keep it with the report, and gone after.
export XDG_STATE_HOME="$out/state"
if ! node "$ACE_DIR/node_modules/@daisy/ace-cli/bin/ace.js" -s -f -o "$out" "$book" \
        >"$out/log" 2>&1 || [ ! -s "$out/report.json" ]; then
    cat "$out/log" >&2
    echo "ace_check: Ace made no report for $book" >&2
    exit 2
fi
python3 "$here/ace_count.py" "$out/report.json"
