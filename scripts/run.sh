#!/usr/bin/env bash
# The main job: builds everything, assembles the demo program directory in
# build/demo and runs KOVA.EXE there (the emulator stand-in, with the idle
# plugins installed), showing its transcript.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686
cmake --build --preset mingw-i686 --target demo >/dev/null

. tests/rig/session.sh
kova_prefix_ensure "$ROOT/build/wine-demo"
trap kova_session_stop EXIT
if [ -z "${DISPLAY:-}" ]; then
    kova_display_start
fi
kova_wine_start

cd build/demo
wine KOVA.EXE "$@"
