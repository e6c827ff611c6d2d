#!/usr/bin/env bash
# Benchmark of cdimage's ECM images: CD_Read of a 64 MB ECM image against its
# BIN (in order, and 10,000 sectors in a random order), and CD_Open of a
# 700 MB ECM image (the indexing). The images are made in a temporary folder
# and removed afterwards. Uses the benchmarks' Wine prefix
# (build/benchprefix). Prints its figures as key=value lines.
#   scripts/bench-cdimage-ecm.sh [runs, default 7]
. "$(dirname "$0")/prelude.sh"
RUNS=${1:-7}

kova_build cdimage cdimage_ecm_bench >/dev/null
kova_prefix benchprefix
work=$(mktemp -d "$ROOT/build/cdimage-ecm-bench.XXXXXX")
trap 'rm -rf "$work"; kova_session_stop' EXIT

kova_wine_start
kova_machine
DISPLAY= wine build/tests/bin/cdimage_ecm_bench.exe "Z:$(echo "$work" | tr / '\\')" "$RUNS"
