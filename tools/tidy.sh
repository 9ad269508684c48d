#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the program's own sources
# (src/ and app/, and the headers they include from there), from the compile
# commands of a built tree (the generated Qt files must exist): build/default
# unless another is given. Any finding fails it.
#
# The builds compile in batches (CMAKE_UNITY_BUILD), and a batched tree's
# compile_commands.json names the batch files, not the sources. clang-tidy
# checks each batch as the compiler sees it: the toolkit's and the library's
# headers are read once a batch, not once a source (about a sixth of the
# processor time). A copy of each batch of src/ or app/ goes to
# BUILD_DIR/tidy-batches/ (inside the tree, so .clang-tidy applies), marked
# so that its own includes of .cpp files are no finding, and the sources it
# includes count as the program's own files (the header filter below).
# Sources built alone are checked alone; nothing is compiled.
# BUILD_DIR/tidy-sources/ gets a database of one entry per source (each with
# its batch's command: CMake batches only the files without flags of their
# own), for an editor's language server, and for TIDY_PER_SOURCE=1.
#   bash tools/tidy.sh [BUILD_DIR]
#   TIDY_PER_SOURCE=1 bash tools/tidy.sh   each source alone
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: build first" >&2; exit 2; }
rm -rf "$build/tidy-sources" "$build/tidy-batches"
mkdir -p "$build/tidy-sources" "$build/tidy-batches"
python3 - "$build/compile_commands.json" "$build" "$PWD" <<'PY'
import json, os, re, sys
database, build, root = sys.argv[1], sys.argv[2], sys.argv[3]
batch = re.compile(r"/Unity/unity_[0-9]+_(cxx|c)\.(cxx|c)$")
include = re.compile(r'^#include "(.+)"$', re.M)
ours = re.compile(re.escape(root) + r"/(src|app)/.*\.cpp$")

def with_file(entry, old, new):
    one = dict(entry, file=new)
    if "command" in one:
        one["command"] = one["command"].replace(old, new)
    else:
        one["arguments"] = [new if a == old else a for a in one["arguments"]]
    return one

# Per source: every entry; in batches: the batches of src/ and app/ only
# (the tests' batches are not checked).
views = {"tidy-sources": ([], []), "tidy-batches": ([], [])}
for entry in json.load(open(database)):
    if not batch.search(entry["file"]):
        for entries, checked in views.values():
            entries.append(entry)
            if ours.match(entry["file"]):
                checked.append(entry["file"])
        continue
    sources = include.findall(open(entry["file"], encoding="utf-8").read())
    if not sources:
        sys.exit(f"tidy: no sources in the batch {entry['file']}")
    entries, checked = views["tidy-sources"]
    entries += [with_file(entry, entry["file"], s) for s in sources]
    checked += [s for s in sources if ours.match(s)]
    if not all(ours.match(s) for s in sources):
        continue
    name = os.path.relpath(entry["file"], build).replace("CMakeFiles/", "").replace("/Unity/", "/")
    copy = os.path.join(root, build, "tidy-batches", name)
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    with open(copy, "w", encoding="utf-8") as f:
        for s in sources:
            f.write(f'// NOLINTNEXTLINE(bugprone-suspicious-include)\n#include "{s}"\n')
    entries, checked = views["tidy-batches"]
    entries.append(with_file(entry, entry["file"], copy))
    checked.append(copy)
for view, (entries, checked) in views.items():
    json.dump(entries, open(os.path.join(build, view, "compile_commands.json"), "w"), indent=1)
    # run-clang-tidy takes the files to check as patterns.
    with open(os.path.join(build, view, "files"), "w") as f:
        f.write("".join("^" + re.escape(c) + "$\n" for c in checked))
PY
view=$build/tidy-batches
[ "${TIDY_PER_SOURCE:-0}" = 1 ] && view=$build/tidy-sources
mapfile -t files <"$view/files"
echo "clang-tidy over ${#files[@]} files of src/ and app/ ($view)"
# The header filter of .clang-tidy, widened to the sources a batch includes.
run-clang-tidy -quiet -p "$view" -j "${TIDY_JOBS:-$(nproc)}" \
  -header-filter="^$PWD/(src/[a-z_]+|app)/[a-z_0-9]+\.(h|cpp)$" "${files[@]}"
