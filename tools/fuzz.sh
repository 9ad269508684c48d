#!/usr/bin/env bash
# Runs every libFuzzer target of a built fuzz preset (build/fuzz) for
# FUZZ_SECONDS (30 unless set) from its seed corpus, two at a time. New
# inputs go to a scratch folder, never into the committed seeds. A crash, a
# sanitizer report or a leak fails it; the failing input is left in the
# scratch folder, whose name is printed.
#   cmake --preset fuzz && cmake --build --preset fuzz && bash tools/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
bin=build/fuzz/fuzz
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-fuzz-XXXXXX")
# A target's own options: the number rule reads one single (four bytes).
declare -A options=([format_hundredths]="-max_len=4")
run() {
  local name=$1
  mkdir -p "$scratch/$name"
  # shellcheck disable=SC2086
  "$bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 ${options[$name]:-} \
    -artifact_prefix="$scratch/$name/" "$scratch/$name" "fuzz/corpus/$name" \
    >"$scratch/$name.log" 2>&1
}
failed=()
pids=()
names=()
for name in leading_number format_hundredths whole_run case_file case_table; do
  run "$name" &
  pids+=($!)
  names+=("$name")
  if ((${#pids[@]} == 2)); then
    wait "${pids[0]}" || failed+=("${names[0]}")
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for k in "${!pids[@]}"; do wait "${pids[$k]}" || failed+=("${names[$k]}"); done
for name in leading_number format_hundredths whole_run case_file case_table; do
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$scratch/$name.log" | grep -oE '[0-9]+$' || echo "?")
  echo "fuzz_$name: $runs runs in ${seconds} s"
done
if ((${#failed[@]})); then
  for name in "${failed[@]}"; do
    echo "fuzz_$name FAILED (log and input in $scratch/$name*):" >&2
    tail -n 40 "$scratch/$name.log" >&2
  done
  exit 1
fi
rm -rf "$scratch"
