#!/usr/bin/env bash
# Runs the screenshot driver under Xvfb: a Calculate on the default inputs,
# the plot and the results window, the 结果 menu, the time-history and
# envelope windows, the help, a flagged input box with its tooltip, the
# 泵流量过程 dialog, the 工况表 dialog, the 工程信息 dialog, the status line
# of a case with its tooltip, the time history and the forebay level of
# three operating cases, the
# 设计资料
# dialog beside the envelope of its design data, the time history and the
# envelope of the two mixed-flow cases (docs/examples), saved as PNGs into
# docs/, under openbox; then a chart exported by the batch mode, two pages
# of the example station's calculation report and the envelope page of each
# mixed-flow case's report.
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
# The first page from the fourth on of a book whose text has a line matching
# a pattern, rendered at a resolution as a PNG.
#   render_page BOOK.pdf PATTERN DPI OUTPUT (without .png)
render_page() {
  local pages page
  pages=$(pdfinfo "$1" | awk '/^Pages:/ { print $2 }')
  for page in $(seq 4 "$pages"); do
    if pdftotext -f "$page" -l "$page" "$1" - | grep -q "$2"; then
      pdftoppm -r "$3" -png -f "$page" -l "$page" -singlefile "$1" "$4"
      return
    fi
  done
}
# The book of the example station with three operating cases
# (docs/examples/station-cases.toml): the page comparing them and the page of
# the governing cases.
report=$(mktemp -d)
"$build/app/kelvane" --batch --case docs/examples/station-cases.toml --report "$report/report.pdf"
render_page "$report/report.pdf" "^[0-9.]*  *各工况比较\$" 70 docs/report-page-1
render_page "$report/report.pdf" "^[0-9.]*  *控制工况\$" 70 docs/report-page-2
# The book of each mixed-flow case: the page of its envelope along the
# channel or culvert (the figure captioned 沿程…包络线) with its extremes.
for example in channel-pump-start:mixed-channel culvert-draining-pump-start:mixed-culvert; do
  "$build/app/kelvane" --batch --case "docs/examples/${example%%:*}.toml" --report "$report/mixed.pdf"
  render_page "$report/mixed.pdf" "^图 [0-9]* .*沿程.*包络线" 60 "docs/${example#*:}-report"
done
rm -rf "$report"
ls -l docs/main-window.png docs/plot-window.png docs/results-window.png docs/menu.png \
  docs/history-window.png docs/envelope-window.png docs/batch-history.png docs/flagged-input.png \
  docs/save-dialog.png docs/overwrite-question.png docs/help-window.png docs/pump-event-dialog.png docs/cases-dialog.png \
  docs/design-data.png docs/status-line.png docs/forebay-cases.png \
  docs/report-page-1.png docs/report-page-2.png \
  docs/mixed-channel-history.png docs/mixed-channel-envelope.png docs/mixed-channel-report.png \
  docs/mixed-culvert-history.png docs/mixed-culvert-envelope.png docs/mixed-culvert-report.png
