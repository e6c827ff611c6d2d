#!/usr/bin/env bash
# The gpuhost forwarding benchmark: builds it, then runs it once under Wine
# (no X display needed) after printing the machine's details. Not part of
# scripts/test.sh; do not run it while the tests run (it restarts the Wine
# server of build/wineprefix).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 --target gpuhost gpuhost_bench pse_soft >/dev/null

. tests/rig/session.sh
kova_prefix_ensure "$ROOT/build/wineprefix"
trap kova_session_stop EXIT
kova_wine_start

echo "nproc: $(nproc)"
lscpu | grep 'Model name' | sed 's/  */ /g'
echo "wine: $(wine --version)"
wine build/tests/bin/gpuhost_bench.exe
