#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the program's own sources
# (src/ and app/, and the headers they include from there), from the compile
# commands of a built tree (the generated Qt files must exist): build/default
# unless another is given. Any finding fails it.
#   bash tools/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: build first" >&2; exit 2; }
run-clang-tidy -quiet -p "$build" -j "${TIDY_JOBS:-$(nproc)}" "^$PWD/(src|app)/.*\.cpp$"
