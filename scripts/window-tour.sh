#!/usr/bin/env bash
# Runs the window tour (tests/app/WindowTour.cpp) on a virtual X server and saves a screenshot
# of the whole screen at each of its shots: once at normal density and once at twice the
# density (QT_SCALE_FACTOR=2 on a larger screen). No window manager runs, as on a bare server.
#   scripts/window-tour.sh [BUILD_DIR] [SHOTS_DIR]
# Needs Xvfb, xwd, ImageMagick's convert and xdotool, which types the shortcuts as real key
# presses (scripts/install-deps.sh installs them all).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shots=${2:-tour-shots}
tour="$build/bin/window_tour"
for tool in Xvfb xwd convert xdotool; do
    command -v "$tool" >/dev/null || { echo "window-tour: $tool is missing" >&2; exit 1; }
done
[ -x "$tour" ] || { echo "window-tour: build $tour first" >&2; exit 1; }
mkdir -p "$shots"
work=$(mktemp -d)
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The second scan, dropped on the window: the sample turned a quarter, stored with the
# Orientation tag that turns it upright again (8: the stored picture's left is the top).
convert samples/sample.tif -rotate 90 -orient LeftBottom -compress Group4 -density 300 \
    -units PixelsPerInch "$work/turned.tif"

run() {  # NAME DISPLAY SCREEN [ENV...]
    local name=$1 display=$2 screen=$3
    shift 3
    # The screenshots are read from the server's framebuffer, which -fbdir keeps in a file in
    # xwd's format: `xwd -root` asks the server, which answers black for windows drawn with
    # save-unders (tool tips) and for the search dialog, though they are on the screen.
    mkdir -p "$work/fb-$name"
    Xvfb "$display" -screen 0 "$screen" -nolisten tcp -fbdir "$work/fb-$name" &
    xvfb=$!
    for _ in $(seq 50); do
        xwd -display "$display" -root -silent >/dev/null 2>&1 && break
        sleep 0.1
    done
    coproc TOUR {
        env "$@" DISPLAY="$display" QT_QPA_PLATFORM=xcb "$tour" samples/sample.tif \
            "$work/books-$name" --drop "$work/turned.tif" --wait 2>&1
    }
    local pid=$TOUR_PID line
    while IFS= read -r line <&"${TOUR[0]}"; do
        case $line in
            "shot: "*)
                local file="$shots/$name-${line#shot: }.png"
                convert "xwd:$work/fb-$name/Xvfb_screen0" "$file"
                echo "$file"
                echo next >&"${TOUR[1]}"
                ;;
            "keys: "*)
                DISPLAY="$display" xdotool key "${line#keys: }"
                echo next >&"${TOUR[1]}"
                ;;
            *) echo "$name: $line" ;;
        esac
    done
    wait "$pid" || echo "$name: the tour ended with status $?"
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null || true
    xvfb=""
}

run normal :71 1280x800x24
run hidpi :72 2600x1500x24 QT_SCALE_FACTOR=2
