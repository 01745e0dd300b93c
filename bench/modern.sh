#!/usr/bin/env bash
# Decode time of a 12 MP photo (4000x3000) in WebP, HEIC, AVIF and JPEG XL: Vistrel's load, timed
# in-process, against the command-line decoders (dwebp, heif-convert, avifdec, djxl), timed
# as a whole run that writes the cheapest output it offers (PPM, Y4M) to a RAM-backed folder when
# there is one. Interleaved, RUNS (default 5) each; prints the medians and our/their ratio.
#   bench/modern.sh [RUNS]     (builds build/ first if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
[ -x build/bench/vistrel-bench-decode ] || cmake --build build --target vistrel-bench-decode
ours=build/bench/vistrel-bench-decode
base=/tmp
[ -d /dev/shm ] && base=/dev/shm
work=$(mktemp -d -p "$base")
trap 'rm -rf "$work"' EXIT

# A photo-like source: smooth gradients with noise and shapes.
convert -size 4000x3000 plasma:fractal -seed 7 -blur 0x1 -depth 8 "$work/source.png"
cwebp -quiet -q 90 "$work/source.png" -o "$work/photo.webp"
# The encoders' fastest settings: the files decode as any other of theirs, and a busy machine
# makes them in seconds instead of minutes.
heif-enc -q 90 -p preset=ultrafast "$work/source.png" -o "$work/photo.heic" >/dev/null
avifenc -s 10 --min 10 --max 30 "$work/source.png" "$work/photo.avif" >/dev/null
cjxl -d 1 -e 3 "$work/source.png" "$work/photo.jxl" 2>/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
wall_ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000)) | awk '{print $1 / 1000}'
}
# The AVIF photo is timed against both libheif's decoder and libavif's, which the viewer uses.
peer() {
    case "$1" in
    *.webp) echo dwebp -quiet -ppm "$2" -o "$work/out.ppm" ;;
    heif-convert) echo heif-convert --quiet "$2" "$work/out.y4m" ;;
    avifdec) echo avifdec "$2" "$work/out.y4m" ;;
    *.jxl) echo djxl "$2" "$work/out.ppm" ;;
    esac
}

printf "%-11s %9s %10s %-13s %7s %5s\n" file bytes vistrel_ms peer peer_ms ratio
for row in photo.webp photo.heic:heif-convert photo.avif:heif-convert photo.avif:avifdec \
    photo.jxl; do
    file=${row%%:*}
    : >"$work/ours" && : >"$work/theirs"
    read -r -a command <<<"$(peer "${row#*:}" "$work/$file")"
    for ((i = 0; i < runs; i++)); do
        "$ours" "$work/$file" 1 >>"$work/ours"
        wall_ms "${command[@]}" >>"$work/theirs"
    done
    a=$(median <"$work/ours")
    b=$(median <"$work/theirs")
    printf '%-11s %9d %10.1f %-13s %7.1f %5.2f\n' "$file" "$(stat -c %s "$work/$file")" "$a" \
        "${command[0]}" "$b" "$(echo "$a / $b" | bc -l)"
done
