#!/usr/bin/env bash
# Makes the benchmark's pictures once and runs it: BENCH MAKE_PROFILES WORK [ROUNDS]
set -euo pipefail
bench=$1 make_profiles=$2 work=$3 rounds=${4:-15}
mkdir -p "$work"
if [ ! -s "$work/p3.jpg" ]; then
    "$make_profiles" "$work"
    /usr/bin/convert -seed 5 -size 6000x4000 plasma: -attenuate 0.2 +noise Gaussian \
        -quality 90 -sampling-factor 2x2 "$work/plain.jpg"
    /usr/bin/convert "$work/plain.jpg" -profile "$work/display-p3.icc" -quality 90 \
        -sampling-factor 2x2 "$work/p3.jpg"
fi
echo "load: $(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores"
"$bench" "$work/plain.jpg" "$work/p3.jpg" "$rounds"
