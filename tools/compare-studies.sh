#!/usr/bin/env bash
# Runs the same generated design studies through two builds of the
# command-line program, each with --jobs 1, 2 and 7, and compares every file
# they write (the study's CSV, its closing summary, its chart as SVG), their
# standard error and their exit statuses, byte for byte. The studies mix
# failing cases in at random positions (a forebay area that overflows, a slope
# or friction beyond the single range, an unreadable or single step count, a
# zero divisor), grids of several sizes and, in some, a pump ramp
# and design data.
#
#   tools/compare-studies.sh OLD_KELVANE NEW_KELVANE [STUDIES] [SEED]
set -euo pipefail

old=$(realpath "$1") new=$(realpath "$2") count=${3:-6} seed=${4:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Study k: its case table in $work/cases-k.csv, its extra options in
# $work/options-k.
python3 - "$count" "$seed" "$work" <<'PY'
import random, sys
count, seed, work = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
rng = random.Random(seed)
failures = [(2, "1e-30"), (3, "1e38"), (5, "3e30"), (1, "x"), (1, "1"), (2, "0"), (2, "0.004")]
for k in range(count):
    grids = rng.choice([[("5", "1500")], [("5", "300"), ("8", "300"), ("5", "301")],
                        [("1", "200"), ("40", "120")], [("5", "600")]])
    rows = ["segment-count,step-count,forebay-area,culvert-slope,wave-speed,friction-factor"]
    for _ in range(rng.randint(20, 120)):
        reaches, steps = rng.choice(grids)
        cells = [reaches, steps, f"{rng.uniform(300, 3000):.3f}", f"{rng.uniform(-0.01, 0.01):.4f}",
                 f"{rng.uniform(300, 1400):.1f}", f"{rng.uniform(0.002, 0.03):.4f}"]
        if rng.random() < 0.15:
            column, text = rng.choice(failures)
            cells[column] = text
        rows.append(",".join(cells))
    with open(f"{work}/cases-{k}.csv", "w") as f:
        f.write("\n".join(rows) + "\n")
    options = "--forebay-max-level -2.5 --forebay-min-level -6"
    if k % 2 == 1:
        options += (" --pump-ramp-time 20"
                    " --forebay-freeboard 0.5 --pump-min-level -6")
    with open(f"{work}/options-{k}", "w") as f:
        f.write(options + "\n")
PY

differ=0
runs=0
for ((k = 0; k < count; k++)); do
  read -r -a options < "$work/options-$k"
  for jobs in 1 2 7; do
    for build in old new; do
      exe=$old
      [ "$build" = new ] && exe=$new
      dir="$work/$build-$k-$jobs"
      mkdir -p "$dir"
      status=0
      (cd "$dir" && "$exe" --batch --cases "$work/cases-$k.csv" "${options[@]}" --jobs "$jobs" \
        --sweep-csv study.csv --summary summary.txt --sweep-plot study.svg \
        > stdout.txt 2> stderr.txt) || status=$?
      echo "$status" > "$dir/status"
    done
    runs=$((runs + 1))
    if ! diff -r "$work/old-$k-$jobs" "$work/new-$k-$jobs" > /dev/null; then
      echo "study $k with --jobs $jobs differs:"
      diff -r "$work/old-$k-$jobs" "$work/new-$k-$jobs" | head -5
      differ=$((differ + 1))
    fi
  done
  cases=$(($(wc -l < "$work/cases-$k.csv") - 1))
  failed=$(awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "status") c = i; next }
    $c != 0' "$work/new-$k-1/study.csv" | wc -l)
  echo "study $k: $cases cases, $failed failing, options: ${options[*]}"
done
echo "$runs runs compared, $differ differ"
[ "$differ" -eq 0 ]
