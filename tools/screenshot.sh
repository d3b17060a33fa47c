#!/usr/bin/env bash
# Starts the real Korvex window in a virtual X server and saves a picture of it.
#   tools/screenshot.sh [path/to/korvex] [output.png]
# Defaults: build/app/korvex and korvex-window.png. Needs xvfb and ImageMagick's import.
# The window opens at 450, 108 where the screen holds it there, and is moved onto smaller screens (on
# 1280 x 1024 to 384, 108); KORVEX_SCREENSHOT_SCREEN=1600x1024x24 shows it at its design position.
# KORVEX_FONT_DIRS=/an/empty/folder shows it with the stand-in font.
set -euo pipefail

binary="${1:-build/app/korvex}"
output="${2:-korvex-window.png}"
wait_seconds="${KORVEX_SCREENSHOT_WAIT:-3}"
screen="${KORVEX_SCREENSHOT_SCREEN:-1280x1024x24}"

if [[ ! -x "$binary" ]]; then
    echo "screenshot: no executable at $binary (build first: make build)" >&2
    exit 1
fi
binary="$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")"
output="$(cd "$(dirname "$output")" && pwd)/$(basename "$output")"

# Inside the server: start the window, give it time to paint, grab its X window (title "Korvex", class "korvex"; Qt also keeps an unmapped 1 x 1 leader window of that title), end it.
export KORVEX_SHOT_BINARY="$binary" KORVEX_SHOT_OUTPUT="$output" KORVEX_SHOT_WAIT="$wait_seconds"
xvfb-run -a -s "-screen 0 $screen" bash -c '
    set -euo pipefail
    "$KORVEX_SHOT_BINARY" &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    sleep "$KORVEX_SHOT_WAIT"
    window=$(xwininfo -root -tree | awk "/\"Korvex\": \(\"korvex\"/ { print \$1; exit }")
    if [[ -n "$window" ]]; then
        import -window "$window" "$KORVEX_SHOT_OUTPUT"
    else
        echo "screenshot: window not found, saving the whole screen" >&2
        import -window root "$KORVEX_SHOT_OUTPUT"
    fi
'
echo "saved $output"
