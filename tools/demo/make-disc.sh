#!/bin/sh
# The demo's disc image, as a preservation set has it: a CUE sheet with one
# BIN file per track.
#   track 1  Mode 2, raw 2352-byte sectors (Form 1: sync, header, subheader,
#            2048 bytes of data; no EDC/ECC): an ISO 9660 file system with
#            SYSTEM.CNF and the demo program
#   track 2  audio: two seconds of silence held in its file (INDEX 00), then
#            two seconds of a 441 Hz square tone
#
#   make-disc.sh <output folder>
# Writes KOVADEMO.CUE, "KOVADEMO (Track 1).bin" and "KOVADEMO (Track 2).bin"
# there, and where chdman is installed the same disc as one CHD file,
# KOVADEMO.CHD (chdman's default CD codecs). Needs genisoimage.
set -eu
out=$1
work="$out/.work"
rm -rf "$out"
mkdir -p "$work/root"

printf 'PS-X EXE' > "$work/root/HELLO.EXE"
printf 'BOOT = cdrom:\\HELLO.EXE;1\r\nTCB = 4\r\nEVENT = 10\r\nSTACK = 801FFFF0\r\n' \
    > "$work/root/SYSTEM.CNF"
genisoimage -quiet -V KOVADEMO -sysid PLAYSTATION -o "$work/data.iso" "$work/root"

# One packed BCD byte as a printf escape.
bcd() {
    printf '\\%03o' $(( ($1 / 10) * 16 + $1 % 10 ))
}

track1="$out/KOVADEMO (Track 1).bin"
sectors=$(( $(wc -c < "$work/data.iso") / 2048 ))
: > "$track1"
head -c 280 /dev/zero > "$work/edc"
n=0
while [ $n -lt $sectors ]; do
    t=$(( n + 150 ))
    # sync, header (minute, second, frame, mode 2), subheader (data, Form 1) twice
    printf "\\000\\377\\377\\377\\377\\377\\377\\377\\377\\377\\377\\000$(bcd $(( t / 4500 )))$(bcd $(( t / 75 % 60 )))$(bcd $(( t % 75 )))\\002\\000\\000\\010\\000\\000\\000\\010\\000" >> "$track1"
    dd if="$work/data.iso" bs=2048 skip=$n count=1 2>/dev/null >> "$track1"
    cat "$work/edc" >> "$track1"
    n=$(( n + 1 ))
done

# 100 stereo 16-bit samples: 50 at +4096, 50 at -4096.
track2="$out/KOVADEMO (Track 2).bin"
: > "$work/period"
i=0
while [ $i -lt 50 ]; do printf '\000\020\000\020' >> "$work/period"; i=$(( i + 1 )); done
i=0
while [ $i -lt 50 ]; do printf '\000\360\000\360' >> "$work/period"; i=$(( i + 1 )); done
i=0
while [ $i -lt 10 ]; do cat "$work/period" "$work/period" > "$work/tone"; mv "$work/tone" "$work/period"; i=$(( i + 1 )); done
head -c $(( 150 * 2352 )) /dev/zero > "$track2"
head -c $(( 150 * 2352 )) "$work/period" >> "$track2"

printf 'FILE "KOVADEMO (Track 1).bin" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\nFILE "KOVADEMO (Track 2).bin" BINARY\r\n  TRACK 02 AUDIO\r\n    INDEX 00 00:00:00\r\n    INDEX 01 00:02:00\r\n' \
    > "$out/KOVADEMO.CUE"
rm -rf "$work"
if command -v chdman >/dev/null 2>&1; then
    chdman createcd -i "$out/KOVADEMO.CUE" -o "$out/KOVADEMO.CHD" >/dev/null
fi
