#!/usr/bin/env bash
# The cross-platform byte-identity check: the same generated input sets
# through the Linux program and through the Windows build under Wine, every
# output file, standard stream and exit status compared byte for byte: the
# result file, table, summary and CSV, and the charts kelvane.exe writes
# without the windows, the time history and the head envelope as SVG.
#   tools/compare-windows.sh [LINUX_KELVANE] [WINDOWS_KELVANE_EXE] [COUNT] [SEED]
# Defaults: build/default/app/kelvane, build/windows/app/kelvane.exe, 200, 1.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
linux=${1:-$root/build/default/app/kelvane}
windows=${2:-$root/build/windows/app/kelvane.exe}
export WINEPREFIX=${WINEPREFIX:-$root/build/windows-wine}
export KELVANE_COMPARE_NEW_RUNNER="$root/tools/wine-run.sh"
export KELVANE_COMPARE_EXTRA=${KELVANE_COMPARE_EXTRA:---history-plot history.svg --envelope-plot envelope.svg}
# The prefix and its server made before the first run is timed or compared.
"$KELVANE_COMPARE_NEW_RUNNER" cmd /c exit 0 >/dev/null 2>&1 || true
exec "$root/tools/compare-builds.sh" "$linux" "$windows" "${3:-200}" "${4:-1}"
