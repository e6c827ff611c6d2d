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
# Runs scripts/bench-gpuhost.sh, scripts/bench-cd.sh, scripts/bench-cdimage.sh,
# scripts/bench-cdimage-ecm.sh,
# scripts/bench-pbp.sh (a PBP against the BIN of the same disc),
# scripts/bench-chd.sh (a CHD against the CUE/BIN of the same disc),
# scripts/bench-padjoy.sh (a pad poll against XInput alone) and
# scripts/bench-startup.sh (KOVACFG.EXE from process start to its main
# dialog, with the six plugins and with 256 plugins in PLUGIN\), and takes
# their figures from the key=value lines they print.
. "$(dirname "$0")/prelude.sh"
MB=${1:-64}
RUNS=${2:-7}

kova_build >/dev/null

FIGURES=$(mktemp)
ROWS=$(mktemp)
trap 'rm -f "$FIGURES" "$ROWS"' EXIT
row() { printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >> "$ROWS"; }

# Runs one benchmark script, showing its output on the standard error and
# keeping its key=value lines (Windows programs end their lines in CR LF).
run() {
    echo "== $*" >&2
    local out
    if ! out=$("$@" 2>&1 | tee /dev/stderr); then
        echo "bench: $* failed" >&2
        return 1
    fi
    tr -d '\r' <<< "$out" | grep -E '^[A-Za-z0-9_.-]+=' >> "$FIGURES" || true
}
# The value of one key, "?" when the benchmark did not give it.
get() {
    local v
    v=$(sed -n "s/^$1=//p" "$FIGURES" | tail -1)
    echo "${v:-?}"
}
at_most() { awk -v r="$1" -v l="$2" 'BEGIN { print (r != "?" && r <= l) ? "yes" : "no" }'; }
at_least() { awk -v r="$1" -v l="$2" 'BEGIN { print (r != "?" && r >= l) ? "yes" : "no" }'; }

# ---- gpuhost: forwarding and DMA against direct calls ----
run scripts/bench-gpuhost.sh
gpu_row() { # key, label, aim, limit
    local r
    r=$(get "$1.ratio")
    row "gpuhost $2" "$r x direct ($(get "$1.direct_ns") ns direct, $(get "$1.gpuhost_ns") ns through gpuhost)" \
        "$3" "$([ -n "$4" ] && at_most "$r" "$4" || echo -)"
}
before_row() { # key, label
    row "gpuhost $2, through the former seven-instruction forwarder" \
        "$(get "$1.before_ratio") x direct ($(get "$1.before_ns") ns)" "(before, for comparison)" "-"
}
gpu_row gp0_write "GP0_Write x 10,000,000" "at most 1.10 x direct" 1.10
before_row gp0_write "GP0_Write x 10,000,000"
gpu_row dma_to_gpu "GPU_DmaExec RAM to GPU, 1 MB" "at most 1.10 x direct" 1.10
gpu_row dma_to_ram "GPU_DmaExec GPU to RAM, 1 MB" "at most 1.10 x direct" 1.10
gpu_row gp1_write "GP1_Write x 10,000,000 (bare hop)" "none: the cost of the hop alone" ""
before_row gp1_write "GP1_Write x 10,000,000 (bare hop)"
same=$(get round_trip)
row "gpuhost 1 MB upload and readback" "$same" "equal" "$([ "$same" = equal ] && echo yes || echo no)"

# ---- cddirect: sequential CD_Read against raw ReadFile ----
run scripts/bench-cd.sh "$MB" "$RUNS"
disc="$(get cd.device), $(get cd.sectors) sectors ($(get cd.mb) MB)"
median=$(get cd.speed_ratio_median)
row "cddirect sequential read, $disc, CD_Read speed / raw ReadFile speed" \
    "$median median of $(get cd.runs) runs, $(get cd.speed_ratio_best) best against best" "at least 0.9" \
    "$(at_least "$median" 0.9)"
row "cddirect raw ReadFile, $disc" \
    "best $(get cd.raw_best_ms) ms ($(get cd.raw_best_mb_s) MB/s), median $(get cd.raw_median_ms) ms" "(reference)" "-"
row "cddirect CD_Read, $disc" \
    "best $(get cd.read_best_ms) ms ($(get cd.read_best_mb_s) MB/s), median $(get cd.read_median_ms) ms" "(see the ratio)" "-"
seeks=$(get cd.seeks_per_run)
row "cddirect seeks per sequential run" "$seeks" "1 (none after the first)" "$([ "$seeks" = 1 ] && echo yes || echo no)"

# ---- cdimage: CD_Read against ReadFile of the same bytes ----
run scripts/bench-cdimage.sh "$RUNS"
seq=$(get cdimage.sequential_rate_ratio)
row "cdimage $(get cdimage.sequential_mb) MB of raw sectors in order, CD_Read rate / ReadFile rate" \
    "$seq median of $(get cdimage.runs) runs, $(get cdimage.sequential_rate_ratio_best) best against best ($(get cdimage.sequential_cd_read_mb_s) and $(get cdimage.sequential_readfile_mb_s) MB/s)" \
    "at least 0.95" "$(at_least "$seq" 0.95)"
rnd=$(get cdimage.random_time_ratio)
row "cdimage 10,000 sectors in a random order, CD_Read time / ReadFile time" \
    "$rnd median, $(get cdimage.random_time_ratio_best) best against best ($(get cdimage.random_cd_read_ms) and $(get cdimage.random_readfile_ms) ms)" \
    "at most 1.1" "$(at_most "$rnd" 1.1)"
row "cdimage CD_Open of a 99-track CUE sheet (99 BIN files)" \
    "median $(get cdimage.open_99_tracks_ms) ms, best $(get cdimage.open_99_tracks_best_ms) ms" "none" "-"
row "cdimage address space with a 700 MB image open and read" \
    "$(get cdimage.address_space_kb) KB more than before CD_Open ($(get cdimage.address_space_with_library_kb) KB with loading the library)" \
    "a few MB at most" "$(at_most "$(get cdimage.address_space_with_library_kb)" 4096)"

# ---- cdimage: an ECM image against its BIN; indexing a 700 MB ECM image ----
run scripts/bench-cdimage-ecm.sh "$RUNS"
row "cdimage $(get cdimage_ecm.mb) MB in order (Mode 2 Form 1 and 2), ECM image ($(get cdimage_ecm.ecm_mb) MB) against its BIN" \
    "$(get cdimage_ecm.sequential_ecm_mb_s) MB/s against $(get cdimage_ecm.sequential_bin_mb_s) MB/s, medians of $(get cdimage_ecm.runs) runs" "none" "-"
row "cdimage 10,000 sectors in a random order, ECM image against its BIN" \
    "$(get cdimage_ecm.random_ecm_ms) ms against $(get cdimage_ecm.random_bin_ms) ms, medians" "none" "-"
row "cdimage CD_Open of a $(get cdimage_ecm.big_image_mb) MB ECM image (indexing its records)" \
    "median $(get cdimage_ecm.open_big_ms) ms, best $(get cdimage_ecm.open_big_best_ms) ms; $(get cdimage_ecm.address_space_kb) KB of address space while open" \
    "none" "-"
# ---- cdimage: a PBP of compressed blocks against the BIN of the same disc ----
run scripts/bench-pbp.sh
row "cdimage PBP of $(get pbp.disc_mb) MB (compressed to $(get pbp.pbp_mb) MB) in order, PBP rate / BIN rate" \
    "$(get pbp.sequential_rate_ratio) median of $(get pbp.runs) runs ($(get pbp.sequential_pbp_mb_s) and $(get pbp.sequential_bin_mb_s) MB/s)" \
    "none: what inflating costs" "-"
row "cdimage PBP 10,000 sectors in a random order, PBP time / BIN time" \
    "$(get pbp.random_time_ratio) median ($(get pbp.random_pbp_ms) and $(get pbp.random_bin_ms) ms)" \
    "none: a block inflated for nearly every sector" "-"
# ---- cdimage: a CHD against the CUE/BIN of the same disc ----
run scripts/bench-chd.sh "$RUNS"
x=$(get chd.sequential_times_2x_drive)
row "cdimage CHD of a $(get chd.bin_mb) MB disc ($(get chd.chd_mb) MB, cdlz, cdzl, cdfl) in order, rate / a 2x drive's 300 KB/s" \
    "$x x ($(get chd.sequential_chd_mb_s) MB/s; the CUE/BIN $(get chd.sequential_bin_mb_s) MB/s, CHD / BIN $(get chd.sequential_rate_ratio))" \
    "at least 20" "$(at_least "$x" 20)"
r=$(get chd.random_chd_ms_per_read)
row "cdimage CHD, 10,000 sectors in a random order, time per read" \
    "$r ms (the CUE/BIN $(get chd.random_bin_ms_per_read) ms)" "under 1 ms" "$(at_most "$r" 1)"
row "cdimage CD_Open of the CHD" "median $(get chd.open_ms) ms, best $(get chd.open_best_ms) ms" "none" "-"
row "cdimage address space with the CHD open and read through" \
    "$(get chd.address_space_kb) KB more than before CD_Open ($(get chd.committed_kb) KB more committed; a 700 MB disc's CHD: $(get chd.big_address_space_kb) KB)" \
    "a few MB at most" "$(at_most "$(get chd.address_space_kb)" 4096)"

# ---- configurator start-up ----
run scripts/bench-startup.sh
for c in six-plugins 256-plugins; do
    row "configurator start-up to the main dialog, ${c%-plugins} plugins in PLUGIN\\" \
        "best $(get "startup.$c.best_ms") ms, median $(get "startup.$c.median_ms") ms" \
        "none (about 600 ms of it is the splash's three 200 ms ticks)" "-"
done
for c in six-plugins 256-plugins; do
    m=$(get "marker.$c.median_ms")
    s=$(get "scan.$c.median_ms")
    share=$(awk -v m="$m" -v s="$s" 'BEGIN { if (m == "?" || s == "?" || s == 0) print "?"; else printf "%.3f", m / s }')
    row "configurator run marker's writes (KOVACFG.RUN), ${c%-plugins} plugins in PLUGIN\\" \
        "$share x the plugin search (medians: $m ms of writes, $s ms search)" "at most 0.05 x the search" \
        "$(at_most "$share" 0.05)"
done

# ---- padjoy: one poll against XInputGetState alone, analog against digital, DirectInput ----
run scripts/bench-padjoy.sh
for c in scripted system; do
    row "padjoy JOY0_Poll against XInputGetState alone, $(get "padjoy.$c.xinput"), connected: $(get "padjoy.$c.connected")" \
        "$(get "padjoy.$c.ratio") x direct ($(get "padjoy.$c.direct_ns") ns direct, $(get "padjoy.$c.padjoy_ns") ns through padjoy)" \
        "none: the cost of the map and the report" "-"
    row "padjoy analog JOY0_Poll against the digital one, $(get "padjoy.$c.xinput")" \
        "$(get "padjoy.$c.analog_ratio") x digital ($(get "padjoy.$c.analog_ns") ns analog, $(get "padjoy.$c.padjoy_ns") ns digital)" \
        "none: the cost of the stick bytes" "-"
done
row "padjoy JOY0_Poll of a DirectInput pad against GetDeviceState alone, $(get "padjoy.scripted.dinput") (scripted)" \
    "$(get "padjoy.scripted.dinput_ratio") x direct ($(get "padjoy.scripted.state_ns") ns GetDeviceState, $(get "padjoy.scripted.dinput_ns") ns through padjoy)" \
    "none: the cost of the map and the report" "-"

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
