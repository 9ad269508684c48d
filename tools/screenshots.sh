#!/usr/bin/env bash
# Runs the screenshot driver under Xvfb: a Calculate on the default inputs,
# the plot and the results window, the 结果 menu, the time-history and
# envelope windows, the help, a flagged input box with its tooltip, the
# 泵流量过程 dialog, the 工况表 dialog, the 工程信息 dialog, the status line
# of a case with its tooltip, the time history and the forebay level of
# three operating cases, the
# 设计资料
# dialog beside the envelope of its design data, saved as PNGs into docs/,
# under openbox; then a chart exported by the
# batch mode and the first two pages of the default calculation report.
#   tools/screenshots.sh [build folder, default build/default]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
driver=$build/tools/kelvane-screenshots
[ -x "$driver" ] || { echo "no driver at $driver (build the default preset first)" >&2; exit 2; }
mkdir -p docs

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
# A window manager, so that stacking, focus and the window frames are those
# of a desktop.
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" "$xvfb" 2>/dev/null || true' EXIT
sleep 0.5

DISPLAY=$display QT_QPA_PLATFORM=xcb timeout 60 "$driver" "$PWD/docs"
"$build/app/kelvane" --batch --history-plot docs/batch-history.png --nodes 1,3,6
# The book of a station with three operating cases: the page comparing
# them and the page of the governing cases.
report=$(mktemp -d)
cat > "$report/cases.toml" <<'TOML'
title = "设计库水位事故停泵"
[project]
name = "某泵站工程"
stage = "初步设计"
[design]
forebay-wall-top = "-2.4"
forebay-freeboard = "0.5"
pump-min-level = "-5.5"
[[cases]]
name = "最高库水位事故停泵"
reservoir-level = "-3.5"
[[cases]]
name = "设计库水位正常停机"
pump-ramp-time = 120
TOML
"$build/app/kelvane" --batch --case "$report/cases.toml" --report "$report/report.pdf"
pages=$(pdfinfo "$report/report.pdf" | awk '/^Pages:/ { print $2 }')
shot=1
for heading in "各工况比较" "控制工况"; do
  for page in $(seq 4 "$pages"); do
    if pdftotext -f "$page" -l "$page" "$report/report.pdf" - | grep -q "^[0-9.]*  *$heading\$"; then
      pdftoppm -r 60 -png -f "$page" -l "$page" -singlefile "$report/report.pdf" \
        "docs/report-page-$shot"
      break
    fi
  done
  shot=$((shot + 1))
done
rm -rf "$report"
ls -l docs/main-window.png docs/plot-window.png docs/results-window.png docs/menu.png \
  docs/history-window.png docs/envelope-window.png docs/batch-history.png docs/flagged-input.png \
  docs/save-dialog.png docs/overwrite-question.png docs/help-window.png docs/pump-event-dialog.png docs/cases-dialog.png \
  docs/design-data.png docs/status-line.png docs/forebay-cases.png \
  docs/report-page-1.png docs/report-page-2.png
