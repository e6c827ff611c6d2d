#!/bin/sh
# The decoders' test data, made by Debian's own tools: CD audio (16-bit
# stereo, little-endian) of two tones and some noise, eight sectors of 2,352
# bytes, and that audio compressed by xz (raw LZMA1, as compressed disc images
# store their hunks), flac and zstd.
#   usage: make_samples.sh <folder>
set -eu
out=$1
mkdir -p "$out"
# One octal escape per byte, which printf turns into the bytes.
awk 'function emit(v) { if (v < 0) v += 65536; printf "\\%03o\\%03o", v % 256, int(v / 256) }
     BEGIN {
         noise = 1
         for (i = 0; i < 4704; i++) {
             noise = (noise * 75 + 74) % 65537
             emit(int(9000 * sin(i * 0.0713) + 2500 * sin(i * 0.2911)) + noise % 64 - 32)
             emit(int(7000 * sin(i * 0.0452 + 1)) - noise % 32)
         }
     }' > "$out/audio.escapes"
# shellcheck disable=SC2059 # the escapes are the format
printf "$(cat "$out/audio.escapes")" > "$out/audio.raw"
xz --format=raw --lzma1=dict=64KiB,lc=3,lp=0,pb=2 --stdout "$out/audio.raw" > "$out/audio.lzma"
flac --silent --force --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 \
    --sample-rate=44100 -o "$out/audio.flac" "$out/audio.raw"
zstd --quiet --force -19 "$out/audio.raw" -o "$out/audio.zst"
