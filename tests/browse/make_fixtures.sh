#!/usr/bin/env bash
# Makes the browse tests' files in $1: a folder of small pictures written by ImageMagick, with
# entries among them that cannot be decoded.
set -euo pipefail
out=$1
convert=/usr/bin/convert
rm -rf "$out"
mkdir -p "$out/folder"
cd "$out/folder"
$convert -size 3x2 xc:'#c03020' a.png
$convert -size 5x4 xc:'#2040c0' BMP3:B.bmp
# A PNG cut inside its header chunk.
$convert -size 6x6 xc:'#20c040' whole.png
head -c 30 whole.png >c.png
rm whole.png
$convert -size 2x7 xc:'#336699' -type TrueColor d.tga
printf 'not a picture\n' >e.jpg
$convert -size 4x4 xc:'#808080' -type TrueColor f.png
mkdir sub.png # a folder whose name looks like a picture
printf 'notes\n' >notes.txt
