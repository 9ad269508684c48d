#!/usr/bin/env bash
# Runs a Windows program under Wine with a private, quiet Wine prefix: the
# emulator of the cross-built tests and of the cross-platform comparison.
#   usage: wine-run.sh PROGRAM.exe [ARGUMENT...]
# WINEPREFIX may be set; by default build/windows-wine in the source tree.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/windows-wine}
export WINEDEBUG=${WINEDEBUG:--all}
# Wine reads Unix file names in the locale's character set: a folder with a
# Chinese name needs UTF-8, which a bare shell (LANG unset, as in CI) lacks.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
# No Mono or Gecko download prompt when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Made once; tests started side by side wait for the first.
  mkdir -p "$(dirname "$WINEPREFIX")"
  flock "$WINEPREFIX.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot --init' >/dev/null 2>&1 || true
fi
exec wine "$@"
