#!/usr/bin/env bash
# Start-up benchmark of the configurator: process start to main dialog
# shown, with the six plugins in PLUGIN\ and with 256, best and median of
# several runs. Builds what it needs, then runs build/tests/bin/
# startup_bench.exe under Wine on a private Xvfb, in a prefix of its own
# (build/benchprefix). Not part of scripts/test.sh.
#   scripts/bench-startup.sh [runs, default 15]
# Besides its table it prints lines for scripts to read:
#   startup six-plugins best_ms=<ms> median_ms=<ms>
#   startup 256-plugins best_ms=<ms> median_ms=<ms>
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-15}

scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 --target startup_bench >/dev/null

. tests/rig/session.sh
kova_prefix_ensure "$ROOT/build/benchprefix"
trap kova_session_stop EXIT
kova_display_start
kova_wine_start

echo "machine: $(nproc) cores, $(lscpu | grep 'Model name' | sed 's/Model name: *//'), $(wine --version)"
wine build/tests/bin/startup_bench.exe "$RUNS"
