#!/usr/bin/env bash
# The windows under Wine on a virtual X display, driven as a user would:
# kelvane-gui.exe starts on its own Xvfb (a free display number) under
# openbox; the main window shows with its captions drawn in Chinese glyphs
# (the buttons 计算 and 退出 both have ink and differ, which the like boxes of
# a missing font would not); Esc runs 计算; the save dialog, found by its
# Chinese title 保存输出结果, takes a file name typed into it in an empty
# folder with a Chinese name; the file written is byte for byte the Linux
# program's default result file (`kelvane --batch --output`) and nothing else
# is left in the folder; Alt+F4 closes the window and the program ends with
# status 0. Every wait polls with a time limit. Wine, openbox and Xvfb are
# stopped on every path; on a failure the screen is kept in
# build/wine-window-failure.png.
#   tools/wine-window-test.sh KELVANE_GUI_EXE LINUX_KELVANE [SCREENSHOT.png]
# SCREENSHOT.png, when named, gets the main window with its frame. The Wine
# prefix is WINEPREFIX, by default the stage's build/windows-wine; its Wine
# server is stopped before and after the test, so that Wine's desktop process
# starts on this display and not on one an earlier program had (or none).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 2 ] || [ ! -f "$1" ] || [ ! -x "$2" ]; then
  echo "usage: $0 KELVANE_GUI_EXE LINUX_KELVANE [SCREENSHOT.png] (both programs built)" >&2
  exit 2
fi
program=$(realpath "$1")
linux=$(realpath "$2")
screenshot=${3:+$(realpath -m "$3")}
export WINEPREFIX=${WINEPREFIX:-$root/build/windows-wine}
export WINEDEBUG=${WINEDEBUG:--all}
# The Chinese folder and window names in UTF-8 (see tools/wine-run.sh).
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
start=$SECONDS

say() { echo "wine-window-test: $*"; }
for tool in Xvfb openbox xdotool xprop import fc-list python3; do
  command -v "$tool" >/dev/null || { say "$tool is missing (tools/install-deps.sh)" >&2; exit 1; }
done
# Wine takes its fonts from fontconfig; without a Chinese one every caption
# is drawn as boxes.
fc-list :lang=zh family | grep -q . ||
  { say "no Chinese font for Wine (fonts-wqy-zenhei)" >&2; exit 1; }

work=$(mktemp -d)
xvfb='' wm='' running=''
cleanup() {
  local status=$?
  set +e  # every step of the cleanup runs, whatever the one before did
  if ((status)) && [ -n "${DISPLAY:-}" ] && [ -n "$xvfb" ]; then
    import -window root "$root/build/wine-window-failure.png" 2>/dev/null &&
      say "the screen at the failure: build/wine-window-failure.png" >&2
    sed 's/^/  program: /' "$work/program.log" >&2 2>/dev/null || true
  fi
  [ -n "$running" ] && kill "$running" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() {
  say "FAILED after $((SECONDS - start)) s: $*" >&2
  exit 1
}

# Runs the command every 0.2 s until it succeeds; fails after SECONDS, or as
# soon as the program has ended while it was still awaited.
poll() {
  local limit=$1 what=$2
  shift 2
  local deadline=$((SECONDS + limit))
  until "$@"; do
    if [ -n "$running" ] && ! kill -0 "$running" 2>/dev/null; then
      fail "the program ended while waiting for $what"
    fi
    ((SECONDS < deadline)) || fail "no $what within $limit s"
    sleep 0.2
  done
}
# The id of the visible window with exactly this name, in `found`.
find_window() { found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$found" ]; }
no_window() { ! find_window "$1"; }
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
activated() {
  has_focus "$1" || { timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 && has_focus "$1"; }
}
focus() { poll 20 "keyboard focus on window $1" activated "$1"; }

# The display: Xvfb picks a free number and writes it once it listens.
exec {display_fd}>"$work/display"
Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec {display_fd}>&-
poll 20 "virtual display" test -s "$work/display"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
openbox --sm-disable </dev/null >"$work/openbox.log" 2>&1 &
wm=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 20 "window manager" wm_ready

# The program starts in an empty folder with a Chinese name, where the save
# dialog opens.
folder=$work/水锤
mkdir "$folder"
wineserver -k 2>/dev/null || true
(cd "$folder" && exec bash "$root/tools/wine-run.sh" "$program") </dev/null >"$work/program.log" 2>&1 &
running=$!
poll 120 "main window (Kelvane)" find_window Kelvane
main=$found
say "main window after $((SECONDS - start)) s"

# The captions, on the window's picture: the form's top left corner is the
# first row of its colour, and the two buttons' inner parts must hold dark
# pixels in different places.
captions_drawn() {
  import -depth 8 -window "$main" "$work/main.ppm" 2>/dev/null || return 1
  python3 - "$work/main.ppm" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
fields, at = [], 0
while len(fields) < 4:  # P6, width, height, maximum
    while data[at:at + 1].isspace():
        at += 1
    end = at
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[at:end])
    at = end
width, height = int(fields[1]), int(fields[2])
if fields[0] != b"P6" or fields[3] != b"255":
    sys.exit(1)
pixels = data[at + 1:]
def rgb(x, y):
    i = 3 * (y * width + x)
    return tuple(pixels[i:i + 3])
form = (0xFF, 0xC0, 0xFF)  # the form's back colour
top = next((y for y in range(height) if rgb(2, y) == form), None)
if top is None:
    sys.exit(1)
def ink(left, upper, w, h):  # twips, as the form lays out its buttons
    x0, y0 = left // 15 + 4, top + upper // 15 + 4
    x1, y1 = x0 + w // 15 - 8, y0 + h // 15 - 8
    return {(x - x0, y - y0) for y in range(y0, min(y1, height)) for x in range(x0, min(x1, width))
            if max(rgb(x, y)) < 100}
calculate, leave = ink(960, 5640, 1335, 375), ink(6480, 5640, 1335, 375)
sys.exit(0 if len(calculate) >= 20 and len(leave) >= 20 and len(calculate ^ leave) >= 10 else 1)
PY
}
focus "$main"
poll 20 "Chinese captions on the main window's buttons" captions_drawn
[ -n "$screenshot" ] && import -frame -window "$main" "$screenshot"

# Esc runs 计算, which asks where to save the result file.
xdotool key --clearmodifiers Escape
poll 60 "save dialog (保存输出结果)" find_window 保存输出结果
dialog=$found
focus "$dialog"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 result.txt
xdotool key --clearmodifiers Return
poll 30 "result file" test -s "$folder/result.txt"
poll 30 "save dialog to close" no_window 保存输出结果
"$linux" --batch --output "$work/linux.txt"
cmp "$work/linux.txt" "$folder/result.txt" ||
  fail "the result file differs from the Linux program's"
left=$(ls -A "$folder")
[ "$left" = result.txt ] || fail "the folder holds more than the result file: $left"

# Alt+F4 (openbox's Close) ends the program.
focus "$main"
xdotool key --clearmodifiers alt+F4
ended() { ! kill -0 "$running" 2>/dev/null; }
poll 30 "program's end after Alt+F4" ended
set +e
wait "$running"
status=$?
set -e
running=
((status == 0)) || fail "the program ended with status $status"
say "passed in $((SECONDS - start)) s (main window, Chinese captions, Esc, save dialog, result file identical, Alt+F4)"
