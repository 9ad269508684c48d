#!/usr/bin/env bash
# Installs what is missing, builds Kelvane and starts it. Arguments go to the
# program (for instance --batch --help). Without a display the main window
# cannot open; the batch mode's summary of the default run is shown instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
program=build/default/app/kelvane
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the windows cannot open. The default run, from the batch mode:" >&2
  exec "$program" --batch --summary -
fi
exec "$program" "$@"
