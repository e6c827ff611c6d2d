#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine,
# on a private X display. Arguments go to ctest (for example -R cdidle).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686

. tests/rig/session.sh
kova_prefix_ensure "$ROOT/build/wineprefix"
trap kova_session_stop EXIT
kova_display_start
kova_wine_start

ctest --preset mingw-i686 -j2 "$@"
