#!/usr/bin/env bash
# The Windows stage of the test command: the windows preset cross-built with
# MinGW-w64, its tests run under Wine, the packaged windows program driven on
# a virtual X display (tools/wine-window-test.sh), and input sets compared
# byte for byte between the Linux program and kelvane.exe under Wine. Needs
# the release build (build/default) for the comparisons. Says plainly what it
# skips.
#   KELVANE_WINDOWS_COMPARE   input sets compared (default 50; 0 skips)
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
  echo "Windows stage SKIPPED: MinGW-w64 (g++-mingw-w64-x86-64-posix) or Wine is not installed."
  exit 0
fi
deps=${KELVANE_WINDOWS_DEPS:-build/windows-deps}
archive=${KELVANE_QT_ARCHIVE:-../shared/windows/qt6.4.2-mingw-x86_64.tar.xz}
ui=ON
if [ -f "$deps/qt/lib/cmake/Qt6/Qt6Config.cmake" ] || [ -f "$archive" ]; then
  bash tools/windows-deps.sh
else
  echo "Windows stage: no Qt for Windows at hand ($archive); kelvane-gui.exe SKIPPED, the Qt-free build only."
  bash tools/windows-deps.sh --no-qt
  ui=OFF
fi
cmake --preset windows -DKELVANE_BUILD_UI=$ui
cmake --build --preset windows
# The Wine prefix and its server (tools/wine-run.sh) are made before the
# tests start two at a time; the server goes with the stage.
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows-wine}
check=''
trap 'wineserver -k 2>/dev/null; [ -z "$check" ] || rm -rf "$check"' EXIT
bash tools/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
ctest --preset windows -j2
if [ "$ui" = ON ]; then
  # The package, unzipped into a folder with a Chinese name: the windows
  # program starts from it (offscreen) and draws the plot the Linux one does.
  zip=$(bash tools/package-windows.sh | tail -n 1)
  check=$(mktemp -d)
  mkdir "$check/水锤" && unzip -q "$zip" -d "$check/水锤"
  program=$(echo "$check"/水锤/*/kelvane-gui.exe)
  QT_QPA_PLATFORM=offscreen bash tools/wine-run.sh "$program" --batch --plot "$check/图形.png"
  file "$check/图形.png" | grep -q 'PNG image data' ||
    { echo "Windows stage: kelvane-gui.exe wrote no plot" >&2; exit 1; }
  if [ -x build/default/app/kelvane ]; then
    QT_QPA_PLATFORM=offscreen build/default/app/kelvane --batch --plot "$check/linux.png"
    cmp "$check/图形.png" "$check/linux.png"
  fi
  echo "Windows stage: kelvane-gui.exe from the package wrote the plot"
  # The windows on a virtual X display: Esc, the save dialog, the result file.
  bash tools/wine-window-test.sh "$program" build/default/app/kelvane
fi
count=${KELVANE_WINDOWS_COMPARE:-50}
if [ "$count" -gt 0 ]; then
  bash tools/compare-windows.sh build/default/app/kelvane build/windows/app/kelvane.exe "$count"
fi
