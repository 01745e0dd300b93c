#!/usr/bin/env bash
# Decodes and reduces one 6000x4000 baseline JPEG with Vistrel's code, with Pillow (in-process
# timing) and with libjpeg-turbo's own tjbench, interleaved round by round, and prints each
# figure's median over the rounds with its ratio to the reference it is held against.
#
#   bench/compare.sh [BUILD_DIR] [ROUNDS]     (defaults: build, 5)
#
# Everything runs on one thread. Each measurement inside a round is itself the median of a few
# runs after a warm-up run. Benchmarks measure; this script never fails on a slow figure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
bench=$build/bench/vistrel-bench-picture
[ -x "$bench" ] || { echo "compare.sh: build $bench first" >&2; exit 2; }
python=/usr/bin/python3 # the one with Pillow
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jpeg=$work/photo.jpg

# Photo-like detail in every channel, 4:2:0 at quality 90, with an EXIF block for the scan.
/usr/bin/convert -seed 7 -size 6000x4000 plasma:fractal -quality 90 -sampling-factor 2x2 "$jpeg"
exiftool -q -overwrite_original -Make=Canon "-Model=Canon EOS 5D" -Orientation#=6 "$jpeg"

cat >"$work/pillow.py" <<'PY'
import statistics, sys, time
from PIL import Image
path, inner = sys.argv[1], 3
def median_ms(run):
    run()
    times = []
    for _ in range(inner):
        start = time.perf_counter()
        run()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)
picture = Image.open(path)
picture.load()
print("pillow-decode", median_ms(lambda: Image.open(path).load()))
print("pillow-bilinear", median_ms(lambda: picture.resize((1620, 1080), Image.BILINEAR)))
print("pillow-lanczos", median_ms(lambda: picture.resize((1620, 1080), Image.LANCZOS)))
picture.resize((1620, 1080), Image.BILINEAR).save(sys.argv[2])
PY

declare -A samples
add() { samples[$1]+="$2 "; }
ours() { # operation [WxH]
    local line
    line=$("$bench" "$1" "$jpeg" 3 ${2:-})
    line=${line#*median_ms=}
    add "$1" "${line%% *}"
}

for round in $(seq "$rounds"); do
    echo "round $round of $rounds" >&2
    ours decode
    ours turbo
    ours decode-fresh
    ours turbo-fresh
    while read -r name ms; do add "$name" "$ms"; done \
        < <("$python" "$work/pillow.py" "$jpeg" "$work/pillow.png")
    ours smooth 1620x1080
    ours prepare 1620x1080
    ours average 1620x1080
    ours sharp 1620x1080
    ours convert
    ours metadata
    if command -v tjbench >/dev/null; then
        # Decompression throughput in megapixels per second, BGR like ours.
        perf=$(tjbench "$jpeg" -benchtime 1 -warmup 0.3 -quiet -nowrite -limitscans |
            awk '/^BGR/ {print $NF}')
        add tjbench "$("$python" -c "print(6000 * 4000 / 1e6 / $perf * 1000)")"
    fi
done

# How far the fitted copy is from Pillow's, in levels per channel.
"$bench" smooth "$jpeg" 1 1620x1080 "$work/ours.ppm" >/dev/null
"$python" "$work/pillow.py" "$jpeg" "$work/pillow.png" >/dev/null
mad=$("$python" -c "
from PIL import Image, ImageChops, ImageStat
a = Image.open('$work/ours.ppm').convert('RGB'); b = Image.open('$work/pillow.png').convert('RGB')
print('%.3f' % (sum(ImageStat.Stat(ImageChops.difference(a, b)).mean) / 3))")

median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g | awk '{v[NR] = $1} END {
    print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A m
for key in "${!samples[@]}"; do m[$key]=$(median "${samples[$key]}"); done

row() { # label ours reference-label reference target
    awk -v l="$1" -v a="${m[$2]}" -v rl="$3" -v b="${m[$4]:-0}" -v t="$5" 'BEGIN {
        if (b > 0) printf "%-44s %9.2f ms  %-26s %9.2f ms  ratio %5.2f  (target %s)\n", l, a, rl, b, a / b, t
        else printf "%-44s %9.2f ms  (target %s)\n", l, a, t }'
}
echo
echo "6000x4000 JPEG, $rounds rounds, medians; reductions to 1620x1080"
row "decodeJpeg, reused Picture" decode "TurboJPEG, reused buffer" turbo "<= 1.10"
row "decodeJpeg, reused Picture" decode "tjbench" tjbench "(tjbench's own loop)"
row "decodeJpeg, fresh Picture" decode-fresh "TurboJPEG, fresh malloc" turbo-fresh "<= 0.50"
row "decodeJpeg, reused Picture" decode "Pillow decode" pillow-decode "(for orientation)"
row "screen copy, filter 1 (24 -> 32 bits)" prepare "Pillow BILINEAR" pillow-bilinear "<= 0.50"
row "resizePicture filter 1" smooth "Pillow BILINEAR" pillow-bilinear "<= 0.50"
row "resizePicture filter 3" sharp "Pillow LANCZOS" pillow-lanczos "<= 0.50"
row "averagePicture" average "Pillow BILINEAR" pillow-bilinear "<= 0.25"
row "convertPicture 24 -> 32, full size" convert "Pillow BILINEAR" pillow-bilinear "(no target)"
awk -v a="${m[metadata]}" 'BEGIN { printf "%-44s %9.4f ms  (target < 0.1 ms)\n", "readJpegMetadata, one file", a }'
echo "mean absolute difference of the filter 1 copy from Pillow's BILINEAR: $mad levels (target <= 2)"
