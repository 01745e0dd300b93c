#!/usr/bin/env python3
"""A PNG's single transparent colour (tRNS beside grey or colour samples) shows transparent, as in
every browser: stills made by ImageMagick, read by vistrel-decode, must have ImageMagick's own
pixels and alpha; at 16 bits the colour is compared before the samples are cut to 8, so a pixel
that differs from it in its low byte only stays opaque. The same for the frames of a 16-bit APNG
(our chunk writer: Pillow cannot write one). Palette entries that tRNS makes transparent or
translucent show so too (a 32-bit picture), stills and APNG frames alike, while a palette file
without tRNS stays a palette picture."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

tool = sys.argv[1:]
work = tempfile.mkdtemp()
failures = []


def decode(path, out=None, frames_dir=None):
    args = tool + (["--frames", frames_dir] if frames_dir else []) + [path] + ([out] if out else [])
    line = subprocess.run(args, capture_output=True, text=True, timeout=60).stdout
    return dict(field.split("=", 1) for field in line.split() if "=" in field)


def rgba(image):
    # Transparent pixels compare as transparent, whatever colour they hold.
    return [p if p[3] else (0, 0, 0, 0) for p in image.convert("RGBA").getdata()]


def magick_rgba(path):
    """ImageMagick's reading of the file, 8 bits a sample."""
    w, h = map(int, subprocess.run(["identify", "-format", "%w %h", path], check=True,
                                   capture_output=True, text=True).stdout.split())
    raw = subprocess.run(["convert", path, "-depth", "8", "RGBA:-"], check=True,
                         capture_output=True).stdout
    return rgba(Image.frombytes("RGBA", (w, h), raw))


# The background colour is made transparent; a rectangle of another colour stays. At 16 bits the
# rectangle differs from the transparent colour only in the low byte of blue.
stills = {
    "colour8": ["xc:#102030", "-fill", "#c08040", "-define", "png:color-type=2", "PNG24:"],
    "colour16": ["xc:#101120223033", "-fill", "#101120223034", "-depth", "16", "-define",
                 "png:bit-depth=16", "-define", "png:color-type=2", ""],
    "grey8": ["xc:gray(40)", "-fill", "gray(200)", "-colorspace", "gray", "-define",
              "png:color-type=0", ""],
}
# Palette files: the background entry fully transparent, or half so (ImageMagick writes PNG8 with
# binary transparency only, a plain palette PNG with the entry's own alpha).
palette_stills = {
    "palette-transparent": ["xc:#102030", "-transparent", "#102030", "PNG8:"],
    "palette-translucent": ["xc:rgba(16,32,48,0.5)", ""],
}
for name, (background, *options, prefix) in palette_stills.items():
    path = os.path.join(work, name + ".png")
    subprocess.run(["convert", "-size", "9x5", background, "-fill", "#c08040", "-draw",
                    "rectangle 0,0 3,2", *options, "-type", "PaletteAlpha", prefix + path],
                   check=True)
    data = open(path, "rb").read()
    if data[25] != 3 or b"tRNS" not in data:
        failures.append(f"{name}: ImageMagick wrote no palette with tRNS; the test proves nothing")
        continue
    ours = os.path.join(work, name + "-ours.png")
    fields = decode(path, ours)
    expected = magick_rgba(path)
    if fields.get("bpp") != "32" or not os.path.exists(ours) or rgba(Image.open(ours)) != expected:
        failures.append(f"{name}: not 32-bit, or pixels or alpha differ from ImageMagick's")
    elif all(p[3] == 255 for p in expected):
        failures.append(f"{name}: no pixel less than opaque; the test proves nothing")

path = os.path.join(work, "palette-opaque.png")
subprocess.run(["convert", "-size", "9x5", "xc:#102030", "-fill", "#c08040", "-draw",
                "rectangle 0,0 3,2", "-type", "Palette", "PNG8:" + path], check=True)
if decode(path).get("bpp") != "8":
    failures.append("palette without tRNS: no longer a palette picture")

for name, (background, *rest) in stills.items():
    path = os.path.join(work, name + ".png")
    fill, colour, *options, prefix = rest
    transparent = background[3:]
    subprocess.run(["convert", "-size", "9x5", background, fill, colour, "-draw",
                    "rectangle 0,0 3,2", "-transparent", transparent, *options, "-define",
                    "png:exclude-chunk=gAMA,cHRM", prefix + path],
                   check=True)
    if b"tRNS" not in open(path, "rb").read():
        failures.append(f"{name}: ImageMagick wrote no tRNS; the test proves nothing")
        continue
    ours = os.path.join(work, name + "-ours.png")
    decode(path, ours)
    expected = magick_rgba(path)
    if not os.path.exists(ours) or rgba(Image.open(ours)) != expected:
        failures.append(f"{name}: pixels or alpha differ from ImageMagick's")
    elif all(p[3] for p in expected) or not any(p[3] for p in expected):
        failures.append(f"{name}: not both transparent and opaque pixels; the test proves nothing")


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def rows16(colours):
    return zlib.compress(b"".join(b"\0" + b"".join(struct.pack(">HHH", *c) for c in row)
                                  for row in colours))


key = (0x1011, 0x2022, 0x3033)
near = (0x1011, 0x2022, 0x3034)  # the same colour once cut to 8 bits
red = (0xFFFF, 0, 0)
first = [[key, near, red]] * 2
second = [[red, key, near]] * 2
apng = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 3, 2, 16, 2, 0, 0, 0))
apng += chunk(b"acTL", struct.pack(">II", 2, 0)) + chunk(b"tRNS", struct.pack(">HHH", *key))
apng += chunk(b"fcTL", struct.pack(">IIIIIHHBB", 0, 3, 2, 0, 0, 1, 10, 0, 0))
apng += chunk(b"IDAT", rows16(first))
apng += chunk(b"fcTL", struct.pack(">IIIIIHHBB", 1, 3, 2, 0, 0, 1, 10, 0, 0))
apng += chunk(b"fdAT", struct.pack(">I", 2) + rows16(second)) + chunk(b"IEND", b"")
path = os.path.join(work, "apng16.png")
with open(path, "wb") as f:
    f.write(apng)
frames = os.path.join(work, "apng16-frames")
decode(path, frames_dir=frames)
for i, row in enumerate([first[0], second[0]]):
    expected = [(0, 0, 0, 0) if c == key else (c[0] >> 8, c[1] >> 8, c[2] >> 8, 255)
                for c in row] * 2
    frame = os.path.join(frames, f"{i + 1:04d}.png")
    if not os.path.exists(frame) or rgba(Image.open(frame)) != expected:
        failures.append(f"16-bit APNG: frame {i + 1} does not show its transparent colour alone")

# A palette APNG whose tRNS makes entry 0 transparent and entry 1 half so; entry 2 is opaque.
palette = bytes([16, 32, 48, 200, 10, 10, 192, 128, 64])
alphas = [0, 128, 255]
first, second = [0, 1, 2], [2, 0, 1]
apng = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 3, 2, 8, 3, 0, 0, 0))
apng += chunk(b"acTL", struct.pack(">II", 2, 0)) + chunk(b"PLTE", palette)
apng += chunk(b"tRNS", bytes(alphas[:2]))
apng += chunk(b"fcTL", struct.pack(">IIIIIHHBB", 0, 3, 2, 0, 0, 1, 10, 0, 0))
apng += chunk(b"IDAT", zlib.compress(b"".join(b"\0" + bytes(first) for _ in range(2))))
apng += chunk(b"fcTL", struct.pack(">IIIIIHHBB", 1, 3, 2, 0, 0, 1, 10, 1, 0))
apng += chunk(b"fdAT", struct.pack(">I", 2) +
              zlib.compress(b"".join(b"\0" + bytes(second) for _ in range(2))))
apng += chunk(b"IEND", b"")
path = os.path.join(work, "apng-palette.png")
with open(path, "wb") as f:
    f.write(apng)
frames = os.path.join(work, "apng-palette-frames")
decode(path, frames_dir=frames)
for i, row in enumerate([first, second]):
    expected = [tuple(palette[3 * e:3 * e + 3]) + (alphas[e],) if alphas[e] else (0, 0, 0, 0)
                for e in row] * 2
    frame = os.path.join(frames, f"{i + 1:04d}.png")
    if not os.path.exists(frame) or rgba(Image.open(frame)) != expected:
        failures.append(f"palette APNG: frame {i + 1} does not show its entries' alpha")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
