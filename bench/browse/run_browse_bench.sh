#!/usr/bin/env bash
# Usage: run_browse_bench.sh BENCH_PROGRAM FOLDER
# Makes FOLDER with 101 camera-sized JPEG pictures (6000x4000, about 6 MB each, like a 24 MP
# photograph; one picture drawn by ImageMagick under 101 names, which decodes exactly like 101
# different ones) unless it is there, then runs the benchmark on it.
set -euo pipefail
bench=$1
folder=$2
if [ ! -f "$folder/p100.jpg" ]; then
    rm -rf "$folder"
    mkdir -p "$folder"
    /usr/bin/convert -size 750x500 -seed 7 plasma:fractal -resize '6000x4000!' \
        -attenuate 0.4 +noise Gaussian -quality 90 -sampling-factor 2x2 "$folder/p000.jpg"
    for i in $(seq 1 100); do
        ln "$folder/p000.jpg" "$(printf '%s/p%03d.jpg' "$folder" "$i")"
    done
fi
exec "$bench" "$folder"
