#!/bin/sh
# usage: install.sh DEST
# Installs Ace by DAISY and puppeteer-core (pinned by package-lock.json beside this script) into
# DEST, unless DEST already holds exactly that. Install scripts never run: puppeteer's would
# download a browser, and the checks use Debian's chromium.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dest=$1
mkdir -p "$dest"
if cmp -s "$here/package-lock.json" "$dest/package-lock.json" &&
   [ -f "$dest/node_modules/@daisy/ace-cli/bin/ace.js" ]; then
    echo "Ace and puppeteer-core are installed in $dest"
    exit 0
fi
cp "$here/package.json" "$here/package-lock.json" "$dest/"
cd "$dest"
npm ci --ignore-scripts --no-audit --no-fund --loglevel=error
