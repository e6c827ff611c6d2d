#!/usr/bin/env bash
# The benchmark report: runs every benchmark of the project one after the
# other and prints one table (benchmark, figure, aim, met?) and the size of
# every shipped binary, in Markdown, ready for docs/benchmarks.md.
#   scripts/bench.sh [CD image MB, default 64] [CD runs, default 7]
# The benchmarks' own output goes to the standard error as they run; the
# report alone goes to the standard output. Not part of scripts/test.sh, and
# not to be run while it runs (the GPU benchmark uses the tests' Wine
# prefix).
#
# Runs scripts/bench-gpuhost.sh, scripts/bench-cd.sh and
# scripts/bench-startup.sh (KOVACFG.EXE from process start to its main
# dialog, with the six plugins and with 256 plugins in PLUGIN\).
set -euo pipefail
cd "$(dirname "$0")/.."
MB=${1:-64}
RUNS=${2:-7}

scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 >/dev/null

ROWS=$(mktemp)
trap 'rm -f "$ROWS" "$ROWS".*' EXIT
row() { printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >> "$ROWS"; }

# Runs one benchmark script, showing its output on the standard error and
# keeping it for the parsing below.
run() {
    local out=$1; shift
    echo "== $*" >&2
    if ! "$@" 2>&1 | tee "$out.crlf" >&2; then
        echo "bench: $* failed" >&2
        return 1
    fi
    tr -d '\r' < "$out.crlf" > "$out"   # Windows programs end their lines in CR LF
}

# ---- gpuhost: forwarding and DMA against direct calls ----
run "$ROWS.gpu" scripts/bench-gpuhost.sh
# "<measure>  direct <t> ms (<ns> ns/word)   gpuhost <t> ms (<ns> ns/word)   ratio <r>"
gpu_ratio() {
    awk -v m="$1" 'index($0, m) == 1 { print $NF }' "$ROWS.gpu"
}
gpu_ns() {
    awk -v m="$1" 'index($0, m) == 1 {
        s = substr($0, length(m) + 1); n = 0
        while (match(s, /\( *[0-9.]+ ns\/word\)/)) {
            t = substr(s, RSTART + 1, RLENGTH - 2); sub(/^ */, "", t); v[++n] = t
            s = substr(s, RSTART + RLENGTH)
        }
        printf "%s direct, %s through gpuhost", v[1], v[2] }' "$ROWS.gpu"
}
within() { # ratio limit -> yes/no
    awk -v r="$1" -v l="$2" 'BEGIN { print (r != "" && r <= l) ? "yes" : "no" }'
}
for m in "GP0_Write x 10,000,000" "GPU_DmaExec RAM to GPU, 1 MB" "GPU_DmaExec GPU to RAM, 1 MB"; do
    r=$(gpu_ratio "$m")
    row "gpuhost $m" "$r x direct ($(gpu_ns "$m"))" "at most 1.10 x direct" "$(within "$r" 1.10)"
done
m="GP1_Write x 10,000,000 (bare hop)"
row "gpuhost $m" "$(gpu_ratio "$m") x direct ($(gpu_ns "$m"))" "none: the cost of the hop alone" "-"
same=$(awk -F': ' '/^round trip of the last megabyte/ { print $2 }' "$ROWS.gpu")
row "gpuhost 1 MB upload and readback" "$same" "equal" "$([ "$same" = equal ] && echo yes || echo no)"

# ---- cddirect: sequential CD_Read against raw ReadFile ----
run "$ROWS.cd" scripts/bench-cd.sh "$MB" "$RUNS"
disc=$(awk '/^cddirect sequential read:/ { sub(/^[^,]*, /, ""); sub(/, [0-9]+ runs$/, ""); print }' "$ROWS.cd")
median=$(awk '/^CD_Read speed \/ raw speed/ { gsub(/,/, ""); print $(NF-4) }' "$ROWS.cd")
best=$(awk '/^CD_Read speed \/ raw speed/ { print $NF }' "$ROWS.cd")
raw=$(awk '/^raw ReadFile:/ { sub(/^raw ReadFile: */, ""); print }' "$ROWS.cd")
plugin=$(awk '/^CD_Read: / { sub(/^CD_Read: */, ""); print }' "$ROWS.cd")
seeks=$(awk '/^seeks per sequential run/ { print $NF }' "$ROWS.cd")
row "cddirect sequential read, $disc, CD_Read speed / raw ReadFile speed" \
    "$median median of $RUNS runs, $best best against best" "at least 0.9" "$(awk -v r="$median" 'BEGIN { print (r != "" && r >= 0.9) ? "yes" : "no" }')"
row "cddirect raw ReadFile, $disc" "$raw" "(reference)" "-"
row "cddirect CD_Read, $disc" "$plugin" "(see the ratio)" "-"
row "cddirect seeks per sequential run" "$seeks" "1 (none after the first)" "$([ "$seeks" = 1 ] && echo yes || echo no)"

# ---- configurator start-up ----
run "$ROWS.cfg" scripts/bench-startup.sh
for c in six-plugins 256-plugins; do
    line=$(grep "^startup $c " "$ROWS.cfg" || true)
    best=$(sed -n 's/.*best_ms=\([0-9.]*\).*/\1/p' <<< "$line")
    median=$(sed -n 's/.*median_ms=\([0-9.]*\).*/\1/p' <<< "$line")
    row "configurator start-up to the main dialog, ${c%-plugins} plugins in PLUGIN\\" \
        "best ${best:-?} ms, median ${median:-?} ms" "none (about 600 ms of it is the splash's three 200 ms ticks)" "-"
done

# ---- the report ----
echo "Machine: $(nproc) cores (nproc), $(lscpu | sed -n 's/^Model name: *//p') (lscpu)," \
     "$(wine --version), $(date -u +%Y-%m-%d)."
echo
echo "| Benchmark | Figure | Aim | Met? |"
echo "|---|---|---|---|"
awk -F'\t' '{ printf "| %s | %s | %s | %s |\n", $1, $2, $3, $4 }' "$ROWS"
echo
echo "| Shipped binary | Bytes |"
echo "|---|---|"
while read -r file; do
    [ -n "$file" ] && printf '| %s | %s |\n' "$(basename "$file")" "$(stat -c %s "$file")"
done < build/kova-shipped.txt
