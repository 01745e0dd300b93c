#!/usr/bin/env python3
"""Animated PNG frames as vistrel-decode --frames composes them, held to Pillow's APNG reader on
files made here: by Pillow's writer (which crops each frame to what changed, so the rectangles
are odd by themselves) and by our own chunk writer below, which sets every dispose and blend op,
rectangle and delay exactly where Pillow's writer chooses them itself. (ImageMagick reads APNG
here only through ffmpeg, which is not installed.) Hostile files must be clipped or refused at
once."""
import itertools
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


def decode(path, frames_dir=None):
    args = tool + (["--frames", frames_dir] if frames_dir else []) + [path]
    out = subprocess.run(args, capture_output=True, text=True, timeout=60).stdout
    return dict(field.split("=", 1) for field in out.split() if "=" in field)


def pixels(image):
    # Transparent pixels compare as transparent, whatever colour they hold.
    return [p if p[3] else (0, 0, 0, 0) for p in image.convert("RGBA").getdata()]


def compare_with_pillow(name, path, delays, loops, reference_path=None):
    ours = os.path.join(work, name + "-ours")
    line = decode(path, ours)
    reference = Image.open(reference_path or path)
    # Pillow counts an image that is not part of the animation as its frame 0.
    first = 1 if reference.info.get("default_image") else 0
    count = reference.n_frames - first
    if line.get("frames", "1") != str(count):
        failures.append(f"{name}: frames={line.get('frames')}, Pillow has {count} ({line})")
        return
    if count > 1 and (line.get("delays") != delays or line.get("loops") != loops):
        failures.append(f"{name}: delays={line.get('delays')} loops={line.get('loops')}")
    for i in range(count):
        reference.seek(first + i)
        mine = Image.open(os.path.join(ours, f"{i + 1:04d}.png"))
        if pixels(mine) != pixels(reference):
            failures.append(f"{name}: frame {i + 1} differs from Pillow's")


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def rows(width, height, pixel):
    """Filtered rows (filter 0) of `pixel(x, y)` bytes."""
    return zlib.compress(b"".join(b"\0" + b"".join(pixel(x, y) for x in range(width))
                                  for y in range(height)))


def apng(size, frames, color_type=6, plays=0, declared=None, default_is_frame=True,
         palette=None, transparency=None, jump_at=None, hidden_image=b"\x80\x80\x80\x80"):
    """frames: (x, y, width, height, delay_num, delay_den, dispose, blend, data). The first
    frame's data is the IDAT image when `default_is_frame`. Sequence numbers count up, one
    higher from `jump_at` on."""
    out = [b"\x89PNG\r\n\x1a\n", chunk(b"IHDR", struct.pack(">IIBBBBB", *size, 8, color_type, 0,
                                                           0, 0))]
    out.append(chunk(b"acTL", struct.pack(">II", declared or len(frames), plays)))
    if palette:
        out.append(chunk(b"PLTE", palette))
    if transparency:
        out.append(chunk(b"tRNS", transparency))
    numbers = (n + (jump_at is not None and n >= jump_at) for n in itertools.count())
    if not default_is_frame:
        out.append(chunk(b"IDAT", rows(*size, lambda x, y: hidden_image)))
    for i, (x, y, w, h, num, den, dispose, blend, data) in enumerate(frames):
        out.append(chunk(b"fcTL", struct.pack(">IIIIIHHBB", next(numbers), w, h, x, y, num, den,
                                              dispose, blend)))
        if i == 0 and default_is_frame:
            out.append(chunk(b"IDAT", data))
        else:
            out.append(chunk(b"fdAT", struct.pack(">I", next(numbers)) + data))
    return b"".join(out) + chunk(b"IEND", b"")


def write(name, data):
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def block(w, h, rgba, hole=None):
    """A w x h block of one colour; `hole` (x0, y0, x1, y1) fully transparent."""
    def pixel(x, y):
        if hole and hole[0] <= x < hole[2] and hole[1] <= y < hole[3]:
            return b"\0\0\0\0"
        return bytes(rgba)
    return rows(w, h, pixel)


gradient = rows(40, 30, lambda x, y: bytes([x * 6, y * 8, 255 - x * 6, 255]))
# Every dispose op after every blend op, on odd rectangles, a last frame touching the corner;
# delays: 0 (played at 100 ms), 1/20 s, 3/0 (hundredths), 1/1000 (slowed), 7/10.
compare_with_pillow("ops", write("ops.png", apng((40, 30), [
    (0, 0, 40, 30, 0, 0, 0, 0, gradient),
    (5, 4, 10, 8, 1, 20, 1, 1, block(10, 8, (255, 255, 0, 255), (1, 1, 5, 5))),
    (20, 10, 12, 12, 3, 0, 2, 0, block(12, 12, (0, 128, 0, 255), (0, 0, 3, 3))),
    (12, 6, 10, 8, 1, 1000, 0, 1, block(10, 8, (255, 255, 255, 255), (2, 2, 8, 6))),
    (31, 23, 9, 7, 7, 10, 2, 1, block(9, 7, (0, 0, 255, 255), (0, 0, 9, 2))),
    (1, 1, 3, 2, 1, 10, 1, 0, block(3, 2, (9, 9, 9, 0))),
], plays=3)), "100,50,30,100,700,100", "3")

# A first frame that disposes to "previous" (cleared, as the format says), over a canvas with
# transparent holes; an image that is no frame of the animation; palette entries with alpha.
compare_with_pillow("first-previous", write("first-previous.png", apng((16, 8), [
    (0, 0, 16, 8, 1, 10, 2, 0, block(16, 8, (200, 10, 10, 255), (4, 2, 8, 6))),
    (8, 0, 8, 8, 1, 10, 0, 1, block(8, 8, (10, 10, 200, 255), (0, 0, 4, 4))),
], plays=1)), "100,100", "1")
# (Pillow composes the first frame over such an image, not over the empty canvas the format
# starts from: it is held to a twin file whose image is transparent.)
hidden = [(2, 2, 5, 3, 1, 10, 0, 0, block(5, 3, (1, 2, 3, 255))),
          (0, 0, 16, 8, 1, 10, 1, 1, block(16, 8, (50, 60, 70, 255), (0, 0, 16, 4)))]
compare_with_pillow("hidden-image", write("hidden-image.png", apng((16, 8), hidden, default_is_frame=False)),
                    "100,100", "0", write("hidden-clear.png", apng(
                        (16, 8), hidden, default_is_frame=False, hidden_image=b"\0\0\0\0")))
palette = bytes([255, 0, 0, 0, 255, 0, 0, 0, 255])
compare_with_pillow("palette", write("palette.png", apng((6, 4), [
    (0, 0, 6, 4, 1, 10, 0, 0, rows(6, 4, lambda x, y: bytes([x % 3]))),
    (1, 1, 4, 2, 1, 10, 0, 1, rows(4, 2, lambda x, y: bytes([(x + 1) % 3]))),
], color_type=3, palette=palette, transparency=bytes([0, 255]))), "100,100", "0")

# Half-transparent pixels over opaque ones mix as the format's integer formula says (Pillow's
# reader pastes them, which leaves the alpha short of opaque).
ours = os.path.join(work, "half-ours")
decode(write("half.png", apng((2, 1), [
    (0, 0, 2, 1, 1, 10, 0, 0, rows(2, 1, lambda x, y: bytes([100, 100, 100, 255]))),
    (1, 0, 1, 1, 1, 10, 0, 1, rows(1, 1, lambda x, y: bytes([200, 0, 50, 128])))])), ours)
mixed = Image.open(os.path.join(ours, "0002.png")).convert("RGBA").getdata()
if list(mixed) != [(100, 100, 100, 255), (150, 49, 74, 255)]:
    failures.append(f"half-transparent over opaque: {list(mixed)}")

# Pillow's writer: frames cropped to what changed, its own choice of ops.
frames = [Image.new("RGBA", (30, 20), (255, 255, 255, 0)) for _ in range(4)]
for i, frame in enumerate(frames):
    frame.paste((40 * i, 200, 100, 255), (3 * i, 2 * i, 3 * i + 9, 2 * i + 7))
frames[0].save(os.path.join(work, "pillow.png"), save_all=True, append_images=frames[1:],
               duration=[40, 250, 60, 1000], loop=2, disposal=[0, 1, 2, 0], blend=[0, 1, 1, 0])
compare_with_pillow("pillow", os.path.join(work, "pillow.png"), "40,250,60,1000", "2")

# Hostile files: the sequence ends before what breaks it, or the file is the still it holds.
one = rows(1, 1, lambda x, y: b"\xff\0\0\xff")
frame = (0, 0, 1, 1, 1, 10, 0, 0, one)
line = decode(write("many.png", apng((1, 1), [frame] * 100000)))
if line.get("frames") != "100000":
    failures.append(f"100,000 frames: {line}")
line = decode(write("claims.png", apng((1, 1), [frame] * 3, declared=1000000)))
if line.get("frames") != "3":
    failures.append(f"a frame count past the data: {line}")
outside = (1, 0, 1, 1, 1, 10, 0, 0, one)
line = decode(write("outside.png", apng((1, 1), [frame, frame, outside, frame])))
if line.get("frames") != "2":
    failures.append(f"a rectangle outside the canvas: {line}")
huge = (0, 0, 5000, 5000, 1, 10, 0, 0, one)
line = decode(write("huge.png", apng((5000, 5000), [
    (0, 0, 5000, 5000, 1, 10, 0, 0, rows(5000, 5000, lambda x, y: b"\0\0\0\0")), frame, huge])))
if line.get("frames") != "2":
    failures.append(f"a frame past its data: {line}")
data = apng((1, 1), [frame] * 4)
# The third frame's data numbered 5 instead of 4: two frames are left.
line = decode(write("order.png", apng((1, 1), [frame] * 4, jump_at=4)))
if line.get("frames") != "2":
    failures.append(f"a sequence number out of order: {line}")
# A damaged frame control before the image data: the still it holds.
crc = data.index(b"fcTL") + 4 + 26
line = decode(write("damaged.png", data[:crc] + bytes([data[crc] ^ 1]) + data[crc + 1:]))
if line.get("ok") != "1" or "frames" in line:
    failures.append(f"a damaged first frame control: {line}")
# Cut short in the last frame's data chunk: the frames before it, the first one too.
line = decode(write("cut.png", data[:-20]))
if line.get("frames") != "3" or line.get("loops") != "0":
    failures.append(f"file cut short: {line}")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
