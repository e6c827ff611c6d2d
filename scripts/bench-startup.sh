#!/usr/bin/env bash
# Start-up benchmark of the configurator: process start to main dialog
# shown, with the six plugins in PLUGIN\ and with 256, best and median of
# several runs. Builds what it needs, then runs build/tests/bin/
# startup_bench.exe under Wine on a private Xvfb, in a prefix of its own
# (build/benchprefix). Prints its figures as key=value lines. Not part of
# scripts/test.sh.
#   scripts/bench-startup.sh [runs, default 15]
. "$(dirname "$0")/prelude.sh"
RUNS=${1:-15}

kova_build startup_bench >/dev/null
kova_session benchprefix display
kova_machine
wine build/tests/bin/startup_bench.exe "$RUNS"
