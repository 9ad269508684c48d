#!/usr/bin/env bash
# The Windows stage of the test command: the windows preset cross-built with
# MinGW-w64, its tests run under Wine, and input sets compared byte for byte
# between the Linux program and kelvane.exe under Wine. Needs the release
# build (build/default) for the comparison. Says plainly what it skips.
#   KELVANE_WINDOWS_COMPARE   input sets compared (default 50; 0 skips)
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
  echo "Windows stage SKIPPED: MinGW-w64 (g++-mingw-w64-x86-64-posix) or Wine is not installed."
  exit 0
fi
deps=${KELVANE_WINDOWS_DEPS:-build/windows-deps}
archive=${KELVANE_QT_ARCHIVE:-../shared/windows/qt6.4.2-mingw-x86_64.tar.xz}
if [ -f "$deps/qt/lib/cmake/Qt6/Qt6Config.cmake" ] || [ -f "$archive" ]; then
  bash tools/windows-deps.sh
else
  # The windows preset builds no window yet, so the stage runs without it.
  echo "Windows stage: no Qt for Windows at hand ($archive); the Qt-free build only."
  bash tools/windows-deps.sh --no-qt
fi
cmake --preset windows
cmake --build --preset windows
ctest --preset windows -j2
count=${KELVANE_WINDOWS_COMPARE:-50}
if [ "$count" -gt 0 ]; then
  bash tools/compare-windows.sh build/default/app/kelvane build/windows/app/kelvane.exe "$count"
fi
