#!/usr/bin/env bash
# Decode time per format for a 4000x3000 picture (icons: 256x256), Vistrel's load against
# ImageMagick's decode of the same file, interleaved, both timed in-process (ImageMagick by its
# own -bench report, single thread). Prints the median of RUNS (default 7) and the ratio.
#   bench/decode.sh [RUNS]     (builds build/ first if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
[ -x build/bench/vistrel-bench-decode ] || cmake --build build --target vistrel-bench-decode
ours=build/bench/vistrel-bench-decode
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=/usr/bin/convert

# A photo-like source: smooth gradients with noise and shapes.
$convert -size 4000x3000 plasma:fractal -seed 7 -blur 0x1 -depth 8 "$work/source.png"
$convert "$work/source.png" -compress none BMP3:"$work/bits24.bmp"
$convert "$work/source.png" -type palette -colors 256 -compress none BMP3:"$work/bits8.bmp"
$convert "$work/source.png" -compress none "$work/plain.tga"
$convert "$work/source.png" -compress RLE "$work/rle.tga"
cp "$work/source.png" "$work/rgb8.png"
$convert "$work/source.png" \( +clone -channel G -separate \) -alpha off -compose CopyOpacity -composite -depth 8 "$work/rgba8.png"
$convert "$work/source.png" -colors 256 "$work/colors.gif"
$convert "$work/source.png" -quality 90 "$work/photo.jpg"
$convert "$work/source.png" -resize 256x256! -alpha set "$work/icon.ico"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

printf '%-10s %10s %12s %8s\n' file vistrel_ms magick_ms ratio
for file in bits24.bmp bits8.bmp plain.tga rle.tga rgb8.png rgba8.png colors.gif photo.jpg icon.ico; do
    : >"$work/ours" && : >"$work/theirs"
    for ((i = 0; i < runs; i++)); do
        "$ours" "$work/$file" 1 >>"$work/ours"
        # "Performance[1]: 2i 9.8ips ..." is the single-thread figure (it needs two iterations to
        # report): ms = 1000 / ips.
        $convert "$work/$file" -bench 2 null: 2>&1 |
            awk '/Performance\[1\]/ {sub("ips", "", $3); print 1000 / $3}' >>"$work/theirs"
    done
    a=$(median <"$work/ours")
    b=$(median <"$work/theirs")
    printf '%-10s %10.1f %12.1f %8.2f\n' "$file" "$a" "$b" "$(echo "$a / $b" | bc -l)"
done
