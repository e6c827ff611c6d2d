#!/usr/bin/env bash
# Benchmark of cdimage: CD_Read against plain ReadFile of the same bytes
# from the same file (64 MB in order, 10,000 sectors in a random order),
# CD_Open of a 99-track CUE sheet, and the address space of a 700 MB image
# open. The images are made in a temporary folder and removed afterwards.
# Uses the benchmarks' Wine prefix (build/benchprefix). Prints its figures
# as key=value lines.
#   scripts/bench-cdimage.sh [runs, default 7]
. "$(dirname "$0")/prelude.sh"
RUNS=${1:-7}

kova_build cdimage cdimage_bench >/dev/null
kova_prefix benchprefix
work=$(mktemp -d "$ROOT/build/cdimage-bench.XXXXXX")
trap 'rm -rf "$work"; kova_session_stop' EXIT

kova_wine_start
kova_machine
DISPLAY= wine build/tests/bin/cdimage_bench.exe "Z:$(echo "$work" | tr / '\\')" "$RUNS"
