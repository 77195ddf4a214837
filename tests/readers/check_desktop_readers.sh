#!/bin/sh
# usage: check_desktop_readers.sh VELLUMARK OUTDIR
# Opens fixed-layout books (A4, landscape and kobo-libra pages, each with and without the text
# layer) in two desktop reading systems under Xvfb, Debian's calibre e-book viewer (which does
# not implement fixed layout) and FBReader (which shows neither SVG text nor styles), and
# checks the screenshots with measure_shot.js:
#  calibre, in a window wider than high (two columns) and one higher than wide: the page is
#    there (not blank), whole (its frame on all sides) and in its own shape (aspect within 1%);
#    the text layer shows nothing (same screenshot as the book without it); its search for a
#    word tints the word on the page;
#  FBReader: the page is there in its own shape; neither its first screen nor the next shows
#    anything of the text layer. FBReader cannot search the layer: it never reads the text.
# Slow (calibre takes seconds to start), so not part of the test suite: run it by hand after
# `scripts/install-deps.sh --desktop-readers`. Exit 0 when every check passes.
set -u
here=$(cd "$(dirname "$0")" && pwd)
vellumark=$1
out=$2
mkdir -p "$out/books" "$out/shots"
failures=0
check() {
    node "$here/measure_shot.js" "$@" || failures=$((failures + 1))
}

# Scans with a black frame at the page's edges, two lines of type, a disc and a triangle.
for shape in a4:2480x3508 landscape:3508x2480; do
    name=${shape%%:*} size=${shape#*:}
    w=${size%x*} h=${size#*x}
    convert -size "${w}x${h}" xc:white -fill none -stroke black -strokewidth 24 \
        -draw "rectangle 12,12 $((w - 13)),$((h - 13))" -stroke none -fill black \
        -font DejaVu-Serif -density 300 -pointsize 20 \
        -draw "text 300,700 'Quasar beacons glow'" -draw "text 300,1000 'marble harbour wall'" \
        -draw "circle $((w / 2)),$((h / 2 + 300)) $((w / 2 + 300)),$((h / 2 + 300))" \
        -draw "polygon 300,$((h - 300)) 700,$((h - 300)) 500,$((h - 700))" \
        -units PixelsPerInch -density 300 -monochrome -compress Group4 "$out/$name.tif"
done
cp "$out/a4.tif" "$out/kobo.tif"
for name in a4 landscape kobo; do
    profile=""
    [ "$name" = kobo ] && profile="--profile kobo-libra"
    for text in "" "-text"; do
        ocr=""
        [ -n "$text" ] && ocr="--ocr"
        cp "$out/$name.tif" "$out/books/$name$text.tif"
        # shellcheck disable=SC2086
        "$vellumark" convert "$out/books/$name$text.tif" --title "$name$text" --author A \
            --format epub3 $profile $ocr --output-dir "$out/books" --overwrite --quiet ||
            failures=$((failures + 1))
    done
done

# Runs a reader on BOOK in an X screen of SIZE, its window filling the screen, and takes
# screenshots: PREFIX-1.png once it shows the book; then KEYS... are typed (words, or
# xdotool key names after "key:") and PREFIX-2.png taken.
shoot() {
    reader=$1 book=$2 prefix=$3 size=$4 settle=$5
    shift 5
    keys=""
    for k in "$@"; do
        case $k in
            key:*) keys="$keys xdotool key --window \$w ${k#key:}; sleep 2;" ;;
            *) keys="$keys xdotool type --window \$w '$k'; sleep 1;" ;;
        esac
    done
    home=$(mktemp -d)
    HOME=$home CALIBRE_CONFIG_DIRECTORY=$home/calibre QTWEBENGINE_DISABLE_SANDBOX=1 \
        QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox timeout 120 \
        xvfb-run -a -s "-screen 0 ${size}x24" sh -c "
        $reader '$book' >'$prefix.log' 2>&1 & p=\$!
        sleep $settle
        w=\$(xdotool search --onlyvisible --name '$reader_title' | head -1)
        xdotool windowmove \$w 0 0 windowsize \$w ${size%x*} ${size#*x}; sleep 2
        xdotool key --window \$w shift; sleep 3
        import -window root 'PNG24:$prefix-1.png'
        $keys sleep 3
        import -window root 'PNG24:$prefix-2.png'
        kill \$p; sleep 1" >/dev/null 2>&1
    rm -rf "$home"
}

# The book with every word of its text layer blanked (one blank braille cell each, which is no
# white space, so the page still has text): laid out as the
# book is, with nothing in the layer that could be drawn. calibre lays a page that is only a
# picture out differently, so the book without a layer is no fair comparison there.
blanked() {
    dir=$(mktemp -d)
    (cd "$dir" && unzip -q "$1" && sed -i 's|>[^<]*</tspan>|>\xe2\xa0\x80</tspan>|g' OEBPS/page*.xhtml &&
        zip -X0q "$2" mimetype && zip -Xrq "$2" META-INF OEBPS)
    rm -rf "$dir"
}

viewport() {
    unzip -p "$1" OEBPS/page1.xhtml | sed -n 's/.*content="width=\([0-9]*\), height=\([0-9]*\)".*/\1 \2/p'
}

s=$out/shots
for name in a4 landscape kobo; do
    plain=$out/books/$name.epub text=$out/books/$name-text.epub blank=$out/books/$name-blank.epub
    rm -f "$blank"
    blanked "$text" "$blank"
    # shellcheck disable=SC2046
    set -- $(viewport "$text")
    pw=$1 ph=$2
    unzip -p "$text" OEBPS/page1.xhtml >"$out/shots/$name-page1.xhtml"
    for size in 1200x800 700x900; do
        echo "== calibre, $name pages, window $size"
        reader_title="E-book viewer"
        shoot ebook-viewer "$plain" "$s/calibre-$name-$size" "$size" 12
        shoot ebook-viewer "$blank" "$s/calibre-$name-blank-$size" "$size" 12
        shoot ebook-viewer "$text" "$s/calibre-$name-text-$size" "$size" 12 key:ctrl+f harbour key:Return
        check frame "$s/calibre-$name-$size-1.png" "$pw" "$ph"
        check frame "$s/calibre-$name-text-$size-1.png" "$pw" "$ph"
        check same "$s/calibre-$name-blank-$size-1.png" "$s/calibre-$name-text-$size-1.png"
        check frame "$s/calibre-$name-text-$size-2.png" "$pw" "$ph"
        check highlight "$s/calibre-$name-text-$size-2.png" "$pw" "$ph" "$s/$name-page1.xhtml" harbour
    done
    size=1000x800
    echo "== FBReader, $name pages, window $size"
    reader_title=FBReader
    shoot fbreader "$plain" "$s/fbreader-$name" "$size" 6 key:Next
    shoot fbreader "$text" "$s/fbreader-$name-text" "$size" 6 key:Next
    check frame "$s/fbreader-$name-text-1.png" "$pw" "$ph"
    check same "$s/fbreader-$name-1.png" "$s/fbreader-$name-text-1.png"
    check same "$s/fbreader-$name-2.png" "$s/fbreader-$name-text-2.png"
    echo "FBReader search: not checked; FBReader never reads the text layer, so cannot find it"
done
echo "desktop readers: $failures failed check(s)"
[ "$failures" -eq 0 ]
