#!/usr/bin/env bash
# Fails when an include goes the wrong way between the libraries, or when
# the project's own includes go round in a circle.
#
# The direction: each library has a level in LEVELS below, and its files may
# include only its own and those of libraries on a lower level (libraries on
# one level stay apart). A new library is one line there; a folder under src/
# that has none fails until it is given its level.
#
# The circles: a header and
# its source count as one unit ("app/batch.h" and "app/batch.cpp"), so a
# circle through a source file is found as well as one between headers:
# a.cpp includes b.h while b.cpp includes a.h is a circle. An include is
# looked up beside the including file, then from src/, app/ and tests/.
#
#   tools/check-includes.sh [ROOT]
set -euo pipefail
root=$(realpath "${1:-$(dirname "$0")/..}")

python3 - "$root" <<'PY'
import os, re, sys

root = sys.argv[1]

# library    level: the CSV reader and the formats at the bottom, the program on top; the tests
# may use every library, the tools, benchmarks and fuzz targets the tests'
# shared support too.
LEVELS = """
src/csv       5
src/format    7
src/model    10
src/texts    12
src/freesurface 15
src/files    20
src/evaluation 30
src/charts   31
src/report   32
src/run      33
src/cases    36
src/study    40
src/ui       50
app          60
tests        80
tools        90
bench        90
fuzz         90
"""
level = {name: int(number) for name, number in (line.split() for line in LEVELS.strip().splitlines())}
folders = ["src", "app", "tests", "tools", "bench", "fuzz"]
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

files = []
for folder in folders:
    for base, _, names in os.walk(os.path.join(root, folder)):
        files += [os.path.join(base, n) for n in names
                  if n.endswith((".h", ".hpp", ".cpp", ".cc", ".def", ".inc"))]
known = set(files)

def unit(path):
    return os.path.splitext(os.path.relpath(path, root))[0]

def resolve(including, name):
    for base in (os.path.dirname(including), *(os.path.join(root, f) for f in ("src", "app", "tests"))):
        candidate = os.path.normpath(os.path.join(base, name))
        if candidate in known:
            return candidate
    return None

def library(path):
    parts = os.path.relpath(path, root).split(os.sep)
    return "/".join(parts[:2]) if parts[0] == "src" else parts[0]

edges, wrong, unplaced = {}, [], set()
for path in files:
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    for name in include.findall(text):
        target = resolve(path, name)
        if not target:
            continue
        if unit(target) != unit(path):
            edges.setdefault(unit(path), set()).add(unit(target))
        here, there = library(path), library(target)
        for lib in (here, there):
            if lib not in level:
                unplaced.add(lib)
        if here != there and here in level and there in level and level[there] >= level[here]:
            wrong.append(f"{os.path.relpath(path, root)} includes {os.path.relpath(target, root)}"
                         f" ({here}, level {level[here]}, may not use {there}, level {level[there]})")

# Strongly connected components (Tarjan, iterative): each with more than one
# unit is a circle.
index, low, stack, on, circles, counter = {}, {}, [], set(), [], [0]
def visit(start):
    work = [(start, iter(sorted(edges.get(start, ()))))]
    index[start] = low[start] = counter[0]; counter[0] += 1
    stack.append(start); on.add(start)
    while work:
        node, children = work[-1]
        for child in children:
            if child not in index:
                index[child] = low[child] = counter[0]; counter[0] += 1
                stack.append(child); on.add(child)
                work.append((child, iter(sorted(edges.get(child, ())))))
                break
            if child in on:
                low[node] = min(low[node], index[child])
        else:
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop(); on.discard(member); component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    circles.append(sorted(component))

for node in sorted(edges):
    if node not in index:
        visit(node)

units = {unit(p) for p in files}
failed = False
for lib in sorted(unplaced):
    print(f"library without a level: {lib} (give it one in LEVELS, tools/check-includes.sh)")
    failed = True
for line in wrong:
    print("wrong-way include: " + line)
    failed = True
if circles:
    for component in circles:
        print("include circle: " + " <-> ".join(component))
        for a in component:
            for b in sorted(edges.get(a, ()) & set(component)):
                print(f"  {a} includes {b}")
    failed = True
if failed:
    sys.exit(1)
print(f"{len(units)} units, {sum(len(e) for e in edges.values())} includes between them, "
      f"{len(level)} libraries, no circle, none the wrong way")
PY
