#!/usr/bin/env bash
# Starts the program under Xvfb, runs a Calculate on the default inputs
# (answering the save dialog), draws the plot, opens the results window and
# saves the three windows as PNGs into docs/. Also prints how long the main
# window took to appear after the process started.
#   tools/screenshots.sh [path to the kelvane program]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/default/app/kelvane}
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 2; }
mkdir -p docs

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

log=$(mktemp)
started=$(date +%s%N)
DISPLAY=$display QT_QPA_PLATFORM=xcb KELVANE_REPORT_SHOWN=1 KELVANE_SCREENSHOT_DIR="$PWD/docs" \
  timeout 60 "$program" 2>"$log"
shown=$(sed -n 's/^shown \([0-9]*\)$/\1/p' "$log" | head -n 1)
rm -f "$log"
[ -n "$shown" ] && echo "main window shown $(( (shown - started) / 1000000 )) ms after start"
ls -l docs/main-window.png docs/plot-window.png docs/results-window.png
