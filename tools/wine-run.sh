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
# Debian's wineserver command starts the server with -p0: it then shuts down
# the instant no Windows program runs, and a program starting in that instant
# (the next of two tests run side by side) is refused with "wine client
# error:0: recvmsg: Connection reset by peer". So the server is started here,
# to stay ten seconds after the last program quits, and with it the programs
# of its session, away from the caller's output: started by a test, they would
# hold that test's output open for as long as the server lives. Programs
# started side by side wait for the first; the prefix is made there too. The
# server must not inherit the lock (-o), or the next program waits until the
# server quits.
mkdir -p "$WINEPREFIX"
flock -o "$WINEPREFIX.lock" sh -c '
  wineserver -p10 || exit 0  # a server already serves this prefix
  if [ -f "$WINEPREFIX/system.reg" ]; then wine cmd /c exit 0; else wineboot --init; fi
' </dev/null >/dev/null 2>&1 || true
exec wine "$@"
