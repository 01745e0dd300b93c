#!/usr/bin/env bash
# Makes the PSD tests' files in $1 (usually build/testdata/psd):
#   gen_*.psd   our own generator, for what the other writers cannot write (comp_*.psd: documents
#               saved without a merged picture, from our layer writer);
#   im_*.psd    ImageMagick, with im_*.ref.rgba its own decode of the merged image (file.psd[0]);
#   ag_*.psd    ag-psd, with ag_*.expected.rgba the composite it was given;
#   *.ag.rgba   ag-psd's reading of a file's composite (for files with a transparency plane, where
#               ImageMagick takes the merged colours as matted and changes them);
#   im_rgba8_rle.source.rgba  the pixels ImageMagick was given for its translucent file.
# ag-psd is installed from tests/psd/package-lock.json into $1/node with npm ci.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
im=/usr/bin/convert
rm -rf "$out"
mkdir -p "$out"

/usr/bin/python3 "$here/fixtures/make_generated.py" "$out"
/usr/bin/python3 "$here/fixtures/make_layered.py" "$out"
/usr/bin/python3 "$here/fixtures/make_hostile.py" "$out"
/usr/bin/python3 "$here/fixtures/make_layer_info.py" "$out"
/usr/bin/python3 "$here/fixtures/make_composite.py" "$out"

# ImageMagick: its built-in photograph "rose:" (70x46), blurred so that 16-bit files hold real
# 16-bit values, in RGB, CMYK and grayscale, 8 and 16 bits, raw and RLE, flat and layered.
cd "$out"
"$im" rose: -depth 8 -compress RLE im_rgb8_rle.psd
"$im" rose: -depth 8 -compress None im_rgb8_raw.psd
"$im" rose: -blur 0x1 -depth 16 -compress RLE im_rgb16_rle.psd
"$im" rose: -blur 0x1 -depth 16 -compress None im_rgb16_raw.psd
"$im" rose: -colorspace CMYK -depth 8 -compress RLE im_cmyk8_rle.psd
"$im" rose: -blur 0x1 -colorspace CMYK -depth 16 -compress None im_cmyk16_raw.psd
"$im" rose: -colorspace Gray -depth 8 -compress RLE im_gray8_rle.psd
"$im" rose: \( rose: -flip \) \( rose: -negate \) -depth 8 -compress RLE im_layers8_rle.psd
"$im" rose: \( -size 70x46 gradient:white-black \) -alpha off -compose CopyOpacity -composite \
    -depth 8 -compress RLE -write RGBA:im_rgba8_rle.source.rgba im_rgba8_rle.psd
for f in im_*.psd; do
    "$im" "$f[0]" -depth 8 "RGBA:${f%.psd}.ref.rgba"
done
# Layered files in RGB, CMYK and grayscale, 8 and 16 bits, with a translucent layer; the first
# picture is the merged one. im_lay_*.N.rgba is ImageMagick's own decode of layer N (from 1).
"$im" rose: \( rose: -flip \) \( -size 20x10 gradient:red-blue \( -size 20x10 gradient:white-black \) \
    -alpha off -compose CopyOpacity -composite \) -depth 8 -compress RLE im_lay_rgb8.psd
"$im" rose: -blur 0x1 \( rose: -negate \) -depth 16 -compress RLE im_lay_rgb16.psd
"$im" rose: \( rose: -flip \) -colorspace CMYK -depth 8 -compress RLE im_lay_cmyk8.psd
"$im" rose: -blur 0x1 \( rose: -flop \) -colorspace CMYK -depth 16 -compress None im_lay_cmyk16.psd
"$im" rose: \( rose: -flip \) -colorspace Gray -depth 8 -compress RLE im_lay_gray8.psd
"$im" rose: -blur 0x1 \( rose: -negate \) -colorspace Gray -depth 16 -compress RLE im_lay_gray16.psd
for f in im_lay_*.psd; do
    n=$(/usr/bin/identify "$f" | wc -l)
    for ((i = 1; i < n; i++)); do
        "$im" "$f[$i]" -depth 8 "RGBA:${f%.psd}.$i.rgba"
    done
done

# ag-psd, written and read by a Node script.
mkdir -p node
cp "$here/package.json" "$here/package-lock.json" "$here/agpsd.js" "$here/agpsd_layers.js" node/
(cd node && npm ci --silent --no-audit --no-fund >/dev/null)
node node/agpsd.js write "$out"
node node/agpsd_layers.js write "$out"
for f in ag_lay_*.psd ag_layers.psd; do
    node node/agpsd_layers.js dump "$f" "${f%.psd}.dump"
done
node node/agpsd_layers.js dump ag_lay_groups.psb ag_lay_groups.psb.dump
for f in im_rgba8_rle.psd gen_rgba8.psd; do
    node node/agpsd.js read "$f" "${f%.psd}.ag.rgba" >/dev/null
done
