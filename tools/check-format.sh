#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it
# (the .clang-format at the root), and names the files. With arguments, only
# the tracked files under those paths are checked:
#   bash tools/check-format.sh              every tracked .cpp and .h
#   bash tools/check-format.sh tests tools  only those folders
# Fix a file with `clang-format -i FILE`.
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
mapfile -d '' files < <(git ls-files -z -- "${@:-.}" | grep -zE '\.(cpp|h)$' || true)
((${#files[@]})) || { echo "clang-format: no C++ file to check"; exit 0; }
# One run over all files; each difference is reported as FILE:LINE:COLUMN: error.
report=$("$clang_format" --dry-run --Werror "${files[@]}" 2>&1) && status=0 || status=$?
if ((status)); then
  drifted=$(grep -oE '^[^:]+:[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort -u || true)
  [ -n "$drifted" ] || drifted=$report  # clang-format failed for another reason
  echo "clang-format: these files differ from .clang-format (clang-format -i FILE fixes one):" >&2
  sed 's/^/  /' <<<"$drifted" >&2
  exit 1
fi
echo "clang-format: ${#files[@]} files as .clang-format writes them"
