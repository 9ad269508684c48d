#!/usr/bin/env bash
# Installs what is missing, builds Kelvane and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default
