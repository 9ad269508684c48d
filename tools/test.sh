#!/usr/bin/env bash
# Installs what is missing, then runs every check CI makes, stage by stage,
# and stops at the first that fails:
#   format    tracked C++ files as .clang-format writes them (tools/check-format.sh)
#   default   release build (warnings are errors) and its tests
#   tidy      clang-tidy over src/ and app/ with .clang-tidy (tools/tidy.sh)
#   noui      the build without the windows (batch program alone) and its tests
#   fuzz      the libFuzzer targets (clang), each 30 s on its corpus (tools/fuzz.sh)
#   sanitize  everything again, windows included, under AddressSanitizer and
#             UndefinedBehaviorSanitizer (one test that limits the address
#             space cannot run under ASan and is left out there)
# The time of each stage is printed at the end; docs/performance.md keeps the
# measured figures (within 20 minutes on 2 cores from a clean clone).
#   bash tools/test.sh [STAGE...]      only the stages named, in this order
# The long runs have their own labels and are started by hand:
#   ctest --preset default -L exhaustive   FormatHundredths over all 2^32 singles
#   ctest --preset default -L soak         10,000 input sets through kelvane --batch
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

build_and_test() {
  cmake --preset "$1"
  cmake --build --preset "$1"
  ctest --preset "$1"
}
# The formatting, and no circle of includes between units.
stage_format() {
  bash tools/check-format.sh
  bash tools/check-includes.sh
}
stage_default() { build_and_test default; }
stage_tidy() { bash tools/tidy.sh build/default; }
stage_noui() { build_and_test noui; }
stage_fuzz() {
  cmake --preset fuzz
  cmake --build --preset fuzz
  bash tools/fuzz.sh
}
stage_sanitize() { build_and_test sanitize; }
# The Windows build under Wine (skipped, and said so, without MinGW-w64,
# Wine and the Qt for Windows; see tools/windows-stage.sh).
stage_windows() { bash tools/windows-stage.sh; }

all=(format default tidy noui fuzz sanitize windows)
stages=("${@:-${all[@]}}")
times=()
report() {
  echo "== stage times"
  printf '%s\n' "${times[@]}"
}
trap report EXIT
for stage in "${stages[@]}"; do
  declare -F "stage_$stage" >/dev/null || { echo "unknown stage: $stage (${all[*]})" >&2; exit 2; }
  echo "== $stage"
  start=$SECONDS
  # In a subshell, outside any `||`, so that -e holds inside the stage.
  set +e
  (set -e; "stage_$stage")
  status=$?
  set -e
  if ((status)); then
    times+=("$(printf '%-9s FAILED after %d s' "$stage" $((SECONDS - start)))")
    exit 1
  fi
  times+=("$(printf '%-9s %4d s' "$stage" $((SECONDS - start)))")
done
times+=("$(printf '%-9s %4d s' total "$SECONDS")")
