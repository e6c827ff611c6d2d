#!/usr/bin/env bash
# Benchmark of cddirect: sequential reading of a 64 MB disc image through
# CD_Read against raw 2048-byte ReadFile calls on the same device, under
# Wine. Uses a Wine prefix of its own (build/benchprefix) whose CD-ROM drive
# E: is repointed at the big image, so the tests' prefix stays as it is.
# Prints its figures as key=value lines.
#   scripts/bench-cd.sh [size in MB, default 64] [runs, default 7]
. "$(dirname "$0")/prelude.sh"
MB=${1:-64}
RUNS=${2:-7}

kova_build cddirect cd_bench >/dev/null
kova_prefix benchprefix

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
kova_machine
DISPLAY= wine build/tests/bin/cd_bench.exe E "$RUNS"
