#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine,
# on a private X display. Arguments go to ctest (for example -R cdidle).
. "$(dirname "$0")/prelude.sh"

kova_build
kova_session wineprefix display
ctest --preset mingw-i686 -j2 "$@"
