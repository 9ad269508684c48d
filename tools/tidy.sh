#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the program's own sources
# (src/ and app/, and the headers they include from there), from the compile
# commands of a built tree (the generated Qt files must exist): build/default
# unless another is given. Any finding fails it.
#
# The builds compile in batches (CMAKE_UNITY_BUILD), and a batched tree's
# compile_commands.json names the batch files, not the sources. CMake batches
# only the files of a target that have no flags of their own, so each source
# of a batch is checked with its batch's command: the database is rewritten
# one entry per source into BUILD_DIR/tidy-sources/, and nothing is compiled.
#   bash tools/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: build first" >&2; exit 2; }
per_source=$build/tidy-sources
mkdir -p "$per_source"
python3 - "$build/compile_commands.json" "$per_source/compile_commands.json" "$PWD" <<'PY'
import json, re, sys
database, out, root = sys.argv[1], sys.argv[2], sys.argv[3]
batch = re.compile(r"/Unity/unity_[0-9]+_(cxx|c)\.(cxx|c)$")
include = re.compile(r'^#include "(.+)"$', re.M)
entries = []
for entry in json.load(open(database)):
    if not batch.search(entry["file"]):
        entries.append(entry)
        continue
    sources = include.findall(open(entry["file"], encoding="utf-8").read())
    if not sources:
        sys.exit(f"tidy: no sources in the batch {entry['file']}")
    for source in sources:
        one = dict(entry, file=source)
        if "command" in one:
            one["command"] = one["command"].replace(entry["file"], source)
        else:
            one["arguments"] = [source if a == entry["file"] else a for a in one["arguments"]]
        entries.append(one)
files = [e["file"] for e in entries]
json.dump(entries, open(out, "w"), indent=1)
ours = [f for f in files if re.match(re.escape(root) + r"/(src|app)/.*\.cpp$", f)]
print(f"clang-tidy over {len(ours)} sources of src/ and app/")
PY
run-clang-tidy -quiet -p "$per_source" -j "${TIDY_JOBS:-$(nproc)}" "^$PWD/(src|app)/.*\.cpp$"
