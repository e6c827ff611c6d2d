#!/usr/bin/env bash
# The gpuhost forwarding benchmark: builds it, then runs it once under Wine
# (no X display needed). Prints its figures as key=value lines. Not part of
# scripts/test.sh; do not run it while the tests run (it restarts the Wine
# server of build/wineprefix).
. "$(dirname "$0")/prelude.sh"

kova_build gpuhost gpuhost_bench pse_soft >/dev/null
kova_session wineprefix
kova_machine
wine build/tests/bin/gpuhost_bench.exe
