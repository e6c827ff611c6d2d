#!/usr/bin/env bash
# Benchmark of cdimage's PBP reader: CD_Read of one disc from a PBP of
# compressed blocks against the same disc as a CUE/BIN, every sector in
# order and 10,000 sectors in a random order. The images are made in a
# temporary folder and removed afterwards. Uses the benchmarks' Wine prefix
# (build/benchprefix). Prints its figures as key=value lines.
#   scripts/bench-pbp.sh [runs, default 5]
. "$(dirname "$0")/prelude.sh"
RUNS=${1:-5}

kova_build cdimage pbp_bench >/dev/null
kova_prefix benchprefix
work=$(mktemp -d "$ROOT/build/pbp-bench.XXXXXX")
trap 'rm -rf "$work"; kova_session_stop' EXIT

kova_wine_start
kova_machine
DISPLAY= wine build/tests/bin/pbp_bench.exe "Z:$(echo "$work" | tr / '\\')" "$RUNS"
