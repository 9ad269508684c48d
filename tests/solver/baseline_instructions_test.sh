#!/bin/sh
# Usage: baseline_instructions_test.sh OBJDUMP OBJECT...
#
# The solver library must run on every x86-64 processor: an AVX instruction
# (VEX or EVEX encoded, every mnemonic starting with "v") may stand only in
# the march's AVX2 and AVX-512 step loops and the rigid column's AVX2 lanes,
# which are called only after the processor has been found to have those sets. Fails, listing them, when one
# stands anywhere else (a flag such as -mavx2 or -march=native on the library,
# or a wider target on a function that is not dispatched), and when the step
# loops hold none (no disassembly, or the variants are gone).
set -eu
objdump=$1
shift
"$objdump" -d --no-show-raw-insn -C "$@" | awk '
  /^[0-9a-f]+ <.*>:$/ { function_name = $0; next }
  /^ +[0-9a-f]+:\t/ {
    split($0, field, "\t")
    if (field[2] ~ /^v/) {
      if (function_name ~ /(FastSteps|BatchSteps|MarchSlots)Avx(2|512)[<(]/) { dispatched++ }
      else { print function_name ": " field[2]; stray++ }
    }
  }
  END {
    printf "%d AVX instructions in the dispatched step loops, %d elsewhere\n", dispatched, stray
    # None at all: the disassembly failed or the variants are gone.
    exit stray > 0 || dispatched == 0
  }'
