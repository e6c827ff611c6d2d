#!/usr/bin/env bash
# Benchmark of padjoy: one JOY0_Poll against the XInputGetState call alone,
# the analog poll against the digital one, and a DirectInput pad's poll
# against its GetDeviceState alone,
# best of several rounds, in the prefix build/benchprefix. Run twice:
#   scripted  beside the tests' scripted xinput1_4.dll and dinput8.dll, a
#             connected controller holding A and the D-pad up and a USB pad
#             holding button 3 (the map does its work);
#   system    a copy of the program in a folder of its own, so the system's
#             XInput answers (Wine's, without a controller: not connected).
# Prints its figures as key=value lines (padjoy.scripted.*, padjoy.system.*).
#   scripts/bench-padjoy.sh [polls per round, default 200000] [rounds, default 7]
. "$(dirname "$0")/prelude.sh"
POLLS=${1:-200000}
ROUNDS=${2:-7}

kova_build padjoy_bench >/dev/null
kova_prefix benchprefix
kova_wine_start
kova_machine
KOVA_FAKE_XINPUT=0=1001 KOVA_FAKE_DINPUT="USB Pad=0004" DISPLAY= wine build/tests/bin/padjoy_bench.exe scripted "$POLLS" "$ROUNDS"
alone="$ROOT/build/bench-padjoy"
rm -rf "$alone"
mkdir -p "$alone"
cp build/tests/bin/padjoy_bench.exe "$alone/"
DISPLAY= wine "$alone/padjoy_bench.exe" system "$POLLS" "$ROUNDS"
rm -rf "$alone"
