#!/usr/bin/env python3
"""Animated WebP frames as vistrel-decode --frames composes them (libwebp's animation decoder),
held to ImageMagick's -coalesce on files made here by libwebp's own tools (webpmux, img2webp,
gif2webp): blending on and off, disposal to the background, alpha, frame rectangles short of the
canvas, lossless and lossy frames, delays and loop counts; and hostile files of our own writing,
which must be cut short or refused at once.

Debian's webp package ships no anim_dump, so ImageMagick is the reference: it takes each frame's
pixels from libwebp but places, blends and disposes of them with its own -coalesce, which is
independent of the composition under test."""
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image

tool = sys.argv[1]
work = tempfile.mkdtemp()
failures = []


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def decode(path, frames_dir=None):
    args = [tool] + (["--frames", frames_dir] if frames_dir else []) + [path]
    out = subprocess.run(args, capture_output=True, text=True, timeout=60).stdout
    return dict(field.split("=", 1) for field in out.split() if "=" in field)


def pixels(path):
    # Transparent pixels compare as transparent, whatever colour they hold.
    return [p if p[3] else (0, 0, 0, 0) for p in Image.open(path).convert("RGBA").getdata()]


def src(name):
    return os.path.join(work, name)


def compare_with_coalesce(name, path, delays, loops, tolerance=0):
    ours = src(name + "-ours")
    line = decode(path, ours)
    ref = src(name + "-ref")
    os.mkdir(ref)
    run("convert", path, "-coalesce", os.path.join(ref, "%04d.png"))
    expected = sorted(os.listdir(ref))
    if line.get("frames") != str(len(expected)):
        failures.append(f"{name}: frames={line.get('frames')}, ImageMagick has {len(expected)}")
        return
    if line.get("delays") != delays or line.get("loops") != loops:
        failures.append(f"{name}: delays={line.get('delays')} loops={line.get('loops')}")
    for i, frame in enumerate(expected):
        mine, theirs = pixels(os.path.join(ours, f"{i + 1:04d}.png")), pixels(
            os.path.join(ref, frame))
        worst = max(max(abs(a - b) for a, b in zip(p, q)) for p, q in zip(mine, theirs))
        if len(mine) != len(theirs) or worst > tolerance:
            failures.append(f"{name}: frame {i + 1} differs from ImageMagick's by {worst}")


# Source pictures: a gradient over the canvas, a half-transparent block, a block with a hole, an
# odd-sized block of noise.
run("convert", "-size", "40x30", "gradient:red-blue", src("back.png"))
run("convert", "-size", "14x9", "xc:#00ff0080", src("half.png"))
run("convert", "-size", "10x8", "xc:yellow", "-alpha", "set", "-region", "4x4+1+1", "-alpha",
    "transparent", src("holed.png"))
run("convert", "-size", "9x7", "plasma:fractal", src("noise.png"))
for name in ("back", "half", "holed", "noise"):
    run("cwebp", "-quiet", "-lossless", "-exact", src(name + ".png"), "-o", src(name + ".webp"))
run("cwebp", "-quiet", "-q", "80", src("noise.png"), "-o", src("noise-lossy.webp"))

# Lossless frames placed by hand: each frame's duration, offset, disposal (1 to the background)
# and blending (+b over the canvas, -b in place of it). ImageMagick blends in floating point,
# libwebp in 8-bit integers: a half-transparent pixel blended may differ by one.
run("webpmux", "-loop", "3", "-bgcolor", "255,255,255,255",
    "-frame", src("back.webp"), "+5+0+0+0-b",
    "-frame", src("half.webp"), "+40+6+4+1+b",
    "-frame", src("holed.webp"), "+19+20+10+0+b",
    "-frame", src("noise.webp"), "+300+30+22+0-b",
    "-frame", src("holed.webp"), "+70+2+2+1+b",
    "-frame", src("half.webp"), "+20+24+20+0+b",
    "-o", src("modes.webp"))
compare_with_coalesce("modes", src("modes.webp"), "100,40,100,300,70,20", "3", tolerance=1)

# A frame drawn without blending replaces its rectangle, transparent pixels and all. (ImageMagick
# 6 blends every frame whatever the file says, so this is held to the format's rule itself.)
run("webpmux", "-frame", src("back.webp"), "+100+0+0+0+b", "-frame", src("half.webp"),
    "+100+24+20+0-b", "-frame", src("holed.webp"), "+100+2+2+0-b", "-o", src("replace.webp"))
replace = src("replace-ours")
decode(src("replace.webp"), replace)
second, third = (Image.open(os.path.join(replace, f"{i:04d}.png")).convert("RGBA") for i in (2, 3))
if second.getpixel((25, 21)) != (0, 255, 0, 128) or third.getpixel((3, 3))[3] != 0 or \
        third.getpixel((2, 2)) != (255, 255, 0, 255) or third.getpixel((25, 21)) != (0, 255, 0, 128):
    failures.append("replace: a frame drawn without blending did not replace its rectangle")

# A lossy frame between lossless ones, after a frame disposed of, played for ever.
run("webpmux", "-loop", "0",
    "-frame", src("back.webp"), "+100+0+0+1+b",
    "-frame", src("noise-lossy.webp"), "+100+10+10+0+b",
    "-frame", src("half.webp"), "+100+0+0+0+b",
    "-o", src("mixed.webp"))
compare_with_coalesce("mixed", src("mixed.webp"), "100,100,100", "0")

# What libwebp's encoders make of whole frames: img2webp finds the changed rectangles and picks
# blending itself; lossy frames are decoded by the same library on both sides, so exact too.
frames = []
for i, colour in enumerate(("red", "green", "blue", "green")):
    frames.append(src(f"whole{i}.png"))
    run("convert", src("back.png"), "-fill", colour, "-draw", f"rectangle {5 + 6 * i},4 {14 + 6 * i},20",
        frames[-1])
run("img2webp", "-loop", "2", "-lossless", "-d", "60", frames[0], "-d", "80", frames[1],
    "-lossy", "-q", "70", "-d", "100", frames[2], "-lossless", frames[3], "-o", src("img2webp.webp"))
compare_with_coalesce("img2webp", src("img2webp.webp"), "60,80,100,100", "2")
run("convert", "-loop", "0", "-dispose", "background", "-delay", "5", frames[0], "-dispose",
    "previous", "-delay", "1", "-page", "40x30+6+4", src("holed.png"), "-dispose", "none", "-page",
    "40x30+0+0", frames[2],
    src("from.gif"))
run("gif2webp", "-quiet", "-mixed", src("from.gif"), "-o", src("gif2webp.webp"))
compare_with_coalesce("gif2webp", src("gif2webp.webp"), "50,100,100", "0")


def chunk(tag, payload):
    return tag + struct.pack("<I", len(payload)) + payload + (b"\0" if len(payload) % 2 else b"")


def frame_data(path):
    """The chunks after a still WebP's RIFF header (VP8L, or ALPH and VP8)."""
    with open(path, "rb") as f:
        return f.read()[12:]


def animation(canvas, frames, loops=0):
    """An animated WebP: frames of (x, y, width, height, duration, chunks), blending, kept."""
    vp8x = struct.pack("<B3x", 0x12) + struct.pack("<I", canvas[0] - 1)[:3] + struct.pack(
        "<I", canvas[1] - 1)[:3]
    body = [chunk(b"VP8X", vp8x), chunk(b"ANIM", struct.pack("<IH", 0, loops))]
    for x, y, width, height, duration, data in frames:
        header = b"".join(struct.pack("<I", v)[:3] for v in (x // 2, y // 2, width - 1,
                                                             height - 1, duration))
        body.append(chunk(b"ANMF", header + b"\0" + data))
    body = b"".join(body)
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + b"WEBP" + body


def write(name, data):
    with open(src(name), "wb") as f:
        f.write(data)
    return src(name)


def vp8l_header(width, height):
    """A lossless bitstream's signature and size, with no data behind it."""
    bits = (width - 1) | (height - 1) << 14 | 1 << 28
    return chunk(b"VP8L", b"\x2f" + struct.pack("<I", bits) + bytes(8))


run("convert", "-size", "1x1", "xc:white", src("dot.png"))
run("cwebp", "-quiet", "-lossless", src("dot.png"), "-o", src("dot.webp"))
dot = frame_data(src("dot.webp"))
# A 1x1 canvas with 100,000 frames plays them all: each costs its few bytes.
line = decode(write("many.webp", animation((1, 1), [(0, 0, 1, 1, 10, dot)] * 100000)))
if line.get("frames") != "100000" or line.get("loops") != "0":
    failures.append(f"100,000 frames: {line}")
# A canvas of 5000 x 5000 that its first frame's few bytes cannot fill: refused.
line = decode(write("canvas.webp", animation((5000, 5000), [(0, 0, 1, 1, 10, dot)] * 3)))
if line.get("ok") != "0" or line.get("reason") != "size-rule":
    failures.append(f"canvas past its data: {line}")
# Flat 5000 x 5000 frames of a few hundred bytes each play; a frame that claims the whole canvas
# with no data behind it ends the sequence before it, and so does every frame after it.
run("convert", "-size", "5000x5000", "xc:gray", src("flat.png"))
run("cwebp", "-quiet", "-lossless", src("flat.png"), "-o", src("flat.webp"))
flat = (0, 0, 5000, 5000, 50, frame_data(src("flat.webp")))
empty = (0, 0, 5000, 5000, 50, vp8l_header(5000, 5000))
line = decode(write("claims.webp", animation((5000, 5000), [flat, flat, empty, empty, flat])))
if line.get("frames") != "2":
    failures.append(f"frames past their data end the sequence: {line}")
# A file cut short in its last frame shows its first frame, as a still.
whole = animation((1, 1), [(0, 0, 1, 1, 10, dot)] * 4, loops=5)
line = decode(write("cut.webp", whole[:len(whole) - 4]))
if line.get("ok") != "1" or "frames" in line:
    failures.append(f"file cut short: {line}")
line = decode(write("whole.webp", whole))
if line.get("frames") != "4" or line.get("loops") != "5" or line.get("delays") != "100,100,100,100":
    failures.append(f"whole file: {line}")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
