#!/usr/bin/env bash
# Benchmark of cdimage's CHD reading: the same disc (a 64 MB data track and
# a two-minute audio track) as CUE/BIN and as the CHD chdman makes of it,
# read in order and in a random order; CD_Open of the CHD; the address
# space with the CHD open and read through; and the address space of a
# 700 MB disc's CHD (made from a sparse BIN) open and read. The discs are
# made in a temporary folder and removed afterwards. Uses the benchmarks'
# Wine prefix (build/benchprefix). Prints its figures as key=value lines.
#   scripts/bench-chd.sh [runs, default 7]
. "$(dirname "$0")/prelude.sh"
RUNS=${1:-7}

kova_build cdimage chd_bench >/dev/null
kova_prefix benchprefix
work=$(mktemp -d "$ROOT/build/chd-bench.XXXXXX")
trap 'rm -rf "$work"; kova_session_stop' EXIT

kova_wine_start
kova_machine
DISPLAY= wine build/tests/bin/chd_bench.exe "Z:$(echo "$work" | tr / '\\')" "$RUNS"
