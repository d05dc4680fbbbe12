#!/usr/bin/env bash
# Whole-run time and peak resident memory of `tidebloom-host render` on long stereo files: the demo
# phrase at 44.1 kHz, 24-bit WAV, 1, 10 and 60 minutes long. Several hosts (two builds, before and
# after a change) are run in turn, round after round, so that a busy machine slows them alike; the
# medians of the rounds are printed.
#   bench/host/render-long-files.sh [-n ROUNDS] [-m "1 10 60"] PLUGIN.so HOST [HOST...]
# The files are made once in ${TIDEBLOOM_BENCH_DIR:-/tmp/tidebloom-bench} (about 1.1 GB).
set -euo pipefail
rounds=5
minutes="1 10 60"
while getopts "n:m:" opt; do
    case $opt in
    n) rounds=$OPTARG ;;
    m) minutes=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -ge 2 ] || {
    echo "usage: $0 [-n ROUNDS] [-m \"1 10 60\"] PLUGIN.so HOST [HOST...]" >&2
    exit 2
}
plugin=$1
shift
hosts=("$@")
dir=${TIDEBLOOM_BENCH_DIR:-/tmp/tidebloom-bench}
mkdir -p "$dir"

le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
# A file of m minutes: the phrase itself up to 10 minutes, longer ones repeat the 10-minute one.
make_file() {
    local m=$1 f="$dir/phrase-$1min.wav"
    [ -s "$f" ] && return
    if [ "$m" -le 10 ]; then
        "${hosts[0]}" phrase -o "$f" --seconds $((m * 60)) -q
        return
    fi
    make_file 10
    local src="$dir/phrase-10min.wav"
    [ "$(dd if="$src" bs=1 skip=36 count=4 2>/dev/null)" = data ] || {
        echo "$src: unexpected header" >&2
        exit 1
    }
    local bytes=$(($(stat -c %s "$src") - 44)) n=$((m / 10))
    {
        printf RIFF
        le32 $((36 + n * bytes))
        dd if="$src" bs=1 skip=8 count=28 2>/dev/null
        printf data
        le32 $((n * bytes))
        for _ in $(seq 1 "$n"); do tail -c +45 "$src"; done
    } >"$f.tmp" && mv "$f.tmp" "$f"
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

printf '%-8s %-40s %12s %12s %10s\n' minutes host "whole run s" "x real time" "peak MB"
for m in $minutes; do
    make_file "$m"
    in="$dir/phrase-${m}min.wav"
    declare -A secs=() mem=()
    for _ in $(seq 1 "$rounds"); do
        for h in "${hosts[@]}"; do
            out=$(/usr/bin/time -f '%e %M' "$h" render "$plugin" -i "$in" -o "$dir/out.wav" -q 2>&1 >/dev/null | tail -n 1)
            secs[$h]+="${out% *} "
            mem[$h]+="${out#* } "
        done
    done
    for h in "${hosts[@]}"; do
        s=$(tr ' ' '\n' <<<"${secs[$h]}" | grep . | median)
        k=$(tr ' ' '\n' <<<"${mem[$h]}" | grep . | median)
        awk -v m="$m" -v h="$h" -v s="$s" -v k="$k" \
            'BEGIN {printf "%-8s %-40s %12.2f %12.1f %10.1f\n", m, h, s, m * 60 / s, k / 1024}' 
    done
    unset secs mem
done
rm -f "$dir/out.wav"
