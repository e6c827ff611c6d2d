#!/usr/bin/env bash
# Benchmark of cddirect: sequential reading of a 64 MB disc image through
# CD_Read against raw 2048-byte ReadFile calls on the same device, under
# Wine. Uses a Wine prefix of its own (build/benchprefix) whose CD-ROM drive
# E: is repointed at the big image, so the tests' prefix stays as it is.
#   scripts/bench-cd.sh [size in MB, default 64] [runs, default 7]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
MB=${1:-64}
RUNS=${2:-7}

scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 --target cddirect cd_bench

. tests/rig/session.sh
kova_prefix_ensure "$ROOT/build/benchprefix"
trap kova_session_stop EXIT

# One file of random bytes fills the disc up to the size asked for.
disc="$WINEPREFIX/kova-disc"
image="$disc/bench-${MB}mb.iso"
if [ ! -f "$image" ]; then
    rm -rf "$disc/bench"
    mkdir -p "$disc/bench"
    head -c $(( MB * 1024 * 1024 - 512 * 1024 )) /dev/urandom > "$disc/bench/DATA.BIN"
    genisoimage -quiet -V KOVA_BENCH -o "$image" "$disc/bench"
    rm -rf "$disc/bench"
fi
ln -sfn "$(basename "$image")" "$disc/current.iso"
ln -sfn ../kova-disc/current.iso "$WINEPREFIX/dosdevices/e::"

kova_wine_start
echo "machine: $(nproc) cores, $(lscpu | grep 'Model name' | sed 's/Model name: *//'), $(wine --version)"
DISPLAY= wine build/tests/bin/cd_bench.exe E "$RUNS"
