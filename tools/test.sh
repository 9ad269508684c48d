#!/usr/bin/env bash
# Installs what is missing, builds Kelvane and runs every test: first the
# release build, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer (the sanitize preset). The long runs (every
# single value of the number format, the 10,000-process soak) have their own
# labels and are left to `ctest --preset default -L exhaustive` and `-L soak`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default

cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize
