#!/usr/bin/env python3
"""Animated GIF frames as vistrel-decode --frames composes them, held to ImageMagick's -coalesce on
files ImageMagick makes here: every disposal, transparency, frame rectangles that leave the
screen, interlacing, delays and loop counts; and hostile files of our own writing, which must be
clipped or refused at once."""
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image

# The tool's command line: vistrel-decode, or a cross build's emulator and vistrel-decode.exe.
tool = sys.argv[1:]
work = tempfile.mkdtemp()
failures = []


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def decode(path, frames_dir=None):
    args = tool + (["--frames", frames_dir] if frames_dir else []) + [path]
    out = subprocess.run(args, capture_output=True, text=True, timeout=60).stdout
    return dict(field.split("=", 1) for field in out.split() if "=" in field)


def pixels(path):
    # Transparent pixels compare as transparent, whatever colour they hold.
    return [p if p[3] else (0, 0, 0, 0) for p in Image.open(path).convert("RGBA").getdata()]


def make(name, *im_args):
    path = os.path.join(work, name)
    run("convert", *im_args, path)
    return path


def compare_with_coalesce(name, path, delays, loops):
    ours = os.path.join(work, name + "-ours")
    line = decode(path, ours)
    ref = os.path.join(work, name + "-ref")
    os.mkdir(ref)
    run("convert", path, "-coalesce", os.path.join(ref, "%04d.png"))
    expected = sorted(os.listdir(ref))
    if line.get("frames") != str(len(expected)):
        failures.append(f"{name}: frames={line.get('frames')}, ImageMagick has {len(expected)}")
        return
    if line.get("delays") != delays or line.get("loops") != loops:
        failures.append(f"{name}: delays={line.get('delays')} loops={line.get('loops')}")
    for i, frame in enumerate(expected):
        mine = os.path.join(ours, f"{i + 1:04d}.png")
        if pixels(mine) != pixels(os.path.join(ref, frame)):
            failures.append(f"{name}: frame {i + 1} differs from ImageMagick's")


# Source pictures: a gradient to cover the screen, small blocks with transparent holes.
src = lambda n: os.path.join(work, n)
run("convert", "-size", "40x30", "gradient:red-blue", src("back.png"))
run("convert", "-size", "10x8", "xc:yellow", "-alpha", "set", "-region", "4x4+1+1", "-alpha",
    "transparent", src("holed.png"))
run("convert", "-size", "12x12", "xc:green", src("green.png"))
run("convert", "-size", "15x10", "xc:white", src("white.png"))
run("convert", "-size", "9x7", "plasma:fractal", "-colors", "16", src("noise.png"))

# Each disposal after a frame drawn with holes, a frame running off the right and bottom edges,
# delays under 20 ms slowed to 100 ms, played 3 times (ImageMagick stores 2 repeats).
compare_with_coalesce("disposals", make(
    "disposals.gif", "-loop", "3",
    "-dispose", "none", "-delay", "0", "-page", "40x30+0+0", src("back.png"),
    "-dispose", "background", "-delay", "5", "-page", "40x30+5+4", src("holed.png"),
    "-dispose", "previous", "-delay", "1", "-page", "40x30+20+10", src("green.png"),
    "-dispose", "none", "-delay", "2", "-page", "40x30+12+6", src("holed.png"),
    "-dispose", "previous", "-delay", "30", "-page", "40x30+30+25", src("white.png"),
    "-dispose", "none", "-delay", "7", "-page", "40x30+2+2", src("noise.png")),
    "100,50,100,20,300,70", "3")

# A first frame with transparent holes, interlaced frames, played for ever.
run("convert", "-size", "40x30", "gradient:red-blue", "-alpha", "set", "-region", "10x10+5+5",
    "-alpha", "transparent", src("back-holed.png"))
compare_with_coalesce("holes", make(
    "holes.gif", "-loop", "0", "-interlace", "GIF",
    "-dispose", "none", "-delay", "10", "-page", "40x30+0+0", src("back-holed.png"),
    "-dispose", "background", "-delay", "10", "-page", "40x30+25+0", src("holed.png"),
    "-dispose", "none", "-delay", "10", "-page", "40x30+0+20", src("green.png"),
    "-dispose", "none", "-delay", "10", "-page", "40x30+3+5", src("noise.png")),
    "100,100,100,100", "0")

# A first frame smaller than the screen leaves the rest transparent in every frame, as browsers
# show it. (ImageMagick fills it with the background colour once a frame is disposed of, so
# this is held to the rule itself.)
uncovered = os.path.join(work, "uncovered-ours")
decode(make("uncovered.gif", "-dispose", "none", "-page", "40x30+3+5", src("noise.png"),
            "-page", "40x30+25+0", src("holed.png")), uncovered)
for i in (1, 2):
    picture = Image.open(os.path.join(uncovered, f"{i:04d}.png")).convert("RGBA")
    if picture.getpixel((0, 29))[3] != 0 or picture.getpixel((20, 20))[3] != 0 or \
            picture.getpixel((5, 7))[3] != 255:
        failures.append(f"uncovered: frame {i} is not transparent outside its frames")


def gif(screen, frames, tail=b"\x3b"):
    """A GIF of 2-colour frames: (left, top, width, height, lzw bytes)."""
    out = [b"GIF89a" + struct.pack("<HHBBB", screen[0], screen[1], 0x80, 0, 0),
           b"\x00\x00\x00\xff\xff\xff"]
    for left, top, width, height, data in frames:
        out.append(b"\x21\xf9\x04\x00\x01\x00\x00\x00")
        out.append(b"\x2c" + struct.pack("<HHHHB", left, top, width, height, 0) + b"\x02")
        for i in range(0, len(data), 255):
            out.append(bytes([len(data[i:i + 255])]) + data[i:i + 255])
        out.append(b"\x00")
    return b"".join(out) + tail


def write(name, data):
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


# One white pixel: clear (4), 1, end (5) in 3-bit codes.
ONE_PIXEL = bytes([0x4C, 0x01])
# A 1x1 screen with 100,000 frames plays them all: each costs its few bytes.
line = decode(write("many.gif", gif((1, 1), [(0, 0, 1, 1, ONE_PIXEL)] * 100000)))
if line.get("frames") != "100000":
    failures.append(f"100,000 frames: {line}")
# Frames outside the screen draw nothing; one claiming a 60000 x 60000 rectangle on a large
# screen from two bytes ends the sequence before it.
line = decode(write("outside.gif", gif((5000, 5000), [
    (0, 0, 1, 1, ONE_PIXEL), (60000, 60000, 10, 10, ONE_PIXEL), (0, 0, 60000, 60000, ONE_PIXEL),
    (0, 0, 1, 1, ONE_PIXEL)])))
if line.get("ok") != "0" or line.get("reason") != "size-rule":
    # The first frame alone cannot fill the 5000 x 5000 screen either.
    failures.append(f"screen past its data: {line}")
line = decode(write("clipped.gif", gif((5000, 5000), [
    (0, 0, 5000, 5000, bytes([0x4C]) + bytes(300000)),
    (60000, 60000, 10, 10, ONE_PIXEL), (0, 0, 60000, 60000, ONE_PIXEL),
    (0, 0, 1, 1, ONE_PIXEL)])))
if line.get("frames") != "2":
    failures.append(f"a frame past its data ends the sequence: {line}")
# A file cut short in its third frame's data has three frames, the last as far as it goes.
# (Clear, 1, 1, end: two white pixels.)
whole = gif((2, 1), [(0, 0, 2, 1, bytes([0x4C, 0x0A]))] * 4)
line = decode(write("cut.gif", whole[:len(whole) - 26]))
if line.get("frames") != "3" or line.get("loops") != "1":
    # Without a loop extension the animation plays once.
    failures.append(f"file cut short: {line}")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
