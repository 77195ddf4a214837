#!/usr/bin/env bash
# Builds the Debian package in build-package/, checks it (lintian, desktop-file-validate,
# appstreamcli), installs it, uses the installed program (version, a conversion checked by
# epubcheck, the window started offscreen with the sample) and removes it again, checking that
# none of its files is left. Needs root (or sudo) for apt-get; safe to run again.
# With a folder as $1, packages that configured build (the test run's) instead of making one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-$root/build-package}")

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

scripts/install-deps.sh

work=$(mktemp -d)
chmod 755 "$work"
installed=0
cleanup() {
    local status=$?
    if [ "$installed" -eq 1 ]; then
        $sudo apt-get remove --purge -y -q vellumark >/dev/null || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
fail() {
    echo "package-test: $*" >&2
    exit 1
}

if dpkg-query -W -f='${Status}' vellumark 2>/dev/null | grep -q "install ok installed"; then
    echo "== Removing the vellumark package installed before"
    $sudo apt-get remove --purge -y -q vellumark
fi

echo "== Build the package"
if [ $# -eq 0 ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELLUMARK_TESTS=OFF -DVELLUMARK_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/vellumark_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/vellumark_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single vellumark_*.deb"
deb=${debs[0]}
echo "-- $(basename "$deb")"
dpkg-deb --field "$deb" Version Depends Installed-Size

echo "== lintian"
lintian_status=0
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v "^running with root privileges" "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports an error"

echo "== Desktop entry, AppStream data and MIME type, as packaged"
contents=$work/contents
dpkg-deb -x "$deb" "$contents"
desktop-file-validate "$contents"/usr/share/applications/org.vellumark.Vellumark.desktop
appstreamcli validate --no-net "$contents"/usr/share/metainfo/org.vellumark.Vellumark.metainfo.xml
mime=$work/mime
mkdir -p "$mime/packages"
cp "$contents"/usr/share/mime/packages/vellumark.xml "$mime/packages/"
update-mime-database "$mime" 2>"$work/mime.log" || fail "update-mime-database refuses vellumark.xml"
grep -q '^50:image/vnd.ms-modi:\*\.mdi$' "$mime/globs2" || fail "no *.mdi glob in the MIME data"

echo "== Installed-Size"
# At least the bytes of the files and at most what they take on disk (whole blocks), counting
# each directory as one block: dpkg's estimate lies between the two.
size=$(dpkg-deb --field "$deb" Installed-Size)
read -r lowest highest < <(cd "$contents" && find . -mindepth 1 -printf '%y %s %b\n' |
    awk '$1 == "d" { dirs++ } $1 != "d" { bytes += $2; blocks += $3 * 512 }
         END { printf "%d %d\n", (bytes + 1023) / 1024, (blocks + 1023) / 1024 + dirs * 4 }')
echo "-- Installed-Size $size KiB; files $lowest KiB, on disk up to $highest KiB"
[ "$size" -ge "$lowest" ] && [ "$size" -le "$highest" ] || fail "Installed-Size $size is wrong"

echo "== Install"
$sudo apt-get install -y -q "$deb"
installed=1
dpkg -L vellumark | sort >"$build/vellumark.files"
echo "-- $(wc -l <"$build/vellumark.files") paths, listed in $build/vellumark.files"
[ "$(command -v vellumark)" = /usr/bin/vellumark ] || fail "vellumark is not /usr/bin/vellumark"

echo "== The installed program"
expected="Vellumark $(sed -n 's/^project(Vellumark VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
version=$(/usr/bin/vellumark --version)
echo "-- $version"
[ "$version" = "$expected" ] || fail "--version says \"$version\", not \"$expected\""

cp samples/sample.tif "$work/sample.tif"
chmod 644 "$work/sample.tif"
/usr/bin/vellumark convert "$work/sample.tif" --author X --output-dir "$work/out" --quiet
java -jar /usr/share/java/epubcheck.jar "$work/out/sample.epub"
# Word recognition, from its module in the library folder.
found=$(/usr/bin/vellumark search "$work/sample.tif" the)
found=${found%%$'\n'*}
echo "-- search: $found"
[[ "$found" == "page 1, "* ]] || fail "the installed program found no words"

# The window as a user starts it from the file manager, without write access to the
# installation: its working folder is then the user's cache folder.
pages=$(/usr/bin/vellumark info "$work/sample.tif" | sed -n '1s/.*[:,] \([0-9]*\) pages$/\1/p')
user=$work/user
mkdir -p "$user/cache" "$user/runtime"
chown -R nobody:nogroup "$user"
chmod 700 "$user/runtime"
log=$work/window.log
setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env HOME="$user" XDG_CACHE_HOME="$user/cache" XDG_RUNTIME_DIR="$user/runtime" \
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="vellumark.window.info=true" \
    timeout 120 /usr/bin/vellumark "$work/sample.tif" >"$log" 2>&1 &
window=$!
seen=0
for _ in $(seq 240); do
    if grep -q "page list built: $pages pages" "$log"; then
        seen=1
        break
    fi
    kill -0 "$window" 2>/dev/null || break
    sleep 0.5
done
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
[ "$seen" -eq 1 ] || { cat "$log" >&2; fail "the window did not report $pages pages"; }
echo "-- the window opened the sample: $pages pages"
[ -f "$user/cache/vellumark/epubfiles/mimetype" ] ||
    fail "the window did not make its working folder in the cache folder"

echo "== Remove"
$sudo apt-get remove --purge -y -q vellumark
installed=0
left=0
while read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        # Folders shared with other packages stay; an empty one should have gone.
        if [ -z "$(ls -A "$path")" ]; then
            echo "left behind: $path/" >&2
            left=1
        fi
    elif [ -e "$path" ] || [ -L "$path" ]; then
        echo "left behind: $path" >&2
        left=1
    fi
done <"$build/vellumark.files"
for own in /usr/share/vellumark /usr/share/doc/vellumark; do
    [ ! -e "$own" ] || { echo "left behind: $own" >&2; left=1; }
done
[ "$left" -eq 0 ] || fail "files of the package are left after removing it"
echo "Package checks passed."
