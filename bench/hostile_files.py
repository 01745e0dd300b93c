"""The small files of the cost issue that the tests do not make at full size, written into the
folder given as the argument: a real flat 16000 x 16000 arithmetic-coded JPEG with 260 KB of
zeros after its end (and just before it), a 1 MB RGBA PNG whose data is a real deflate bomb (the
start page's skin background, in skin/Quorbane/Vistrel/UI/), and a PSD whose one layer's ZIP
channels inflate 1000:1 (vistrel-psd's worst allowed case). The PSD patterns come from
tests/psd/fixtures/make_hostile.py, the metafiles from bench/wmf_worst_cases.py."""
import os
import struct
import subprocess
import sys
import zlib

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "psd", "fixtures"))
from make_hostile import one_layer, zeros_deflate  # noqa: E402
from make_layered import u16  # noqa: E402

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
SIDE = 16000


def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


# cjpeg codes a flat picture of any size in about a hundred bytes arithmetically.
pgm = subprocess.Popen(["cjpeg", "-arithmetic", "-grayscale"], stdin=subprocess.PIPE,
                       stdout=subprocess.PIPE)
rows = bytes([128]) * SIDE * 125
pgm.stdin.write(b"P5 %d %d 255\n" % (SIDE, SIDE))
for _ in range(SIDE // 125):
    pgm.stdin.write(rows)
pgm.stdin.close()
flat = pgm.stdout.read()
pgm.wait()
write("jpeg-flat-arithmetic.jpg", flat)
write("jpeg-flat-arithmetic-padded.jpg", flat + bytes(260 << 10))
write("jpeg-flat-arithmetic-padded-inside.jpg", flat[:-2] + bytes(260 << 10) + flat[-2:])


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


# 16000 x 16000 RGBA rows of zeros: 1 GB of filtered rows from under 1 MB.
idat = zeros_deflate(SIDE * (1 + 4 * SIDE))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIDE, SIDE, 8, 6, 0, 0, 0))
png += b"".join(chunk(b"IDAT", idat[i:i + (1 << 16)]) for i in range(0, len(idat), 1 << 16))
png += chunk(b"IEND", b"")
skin = os.path.join(out, "skin", "Quorbane", "Vistrel", "UI")
os.makedirs(skin, exist_ok=True)
with open(os.path.join(skin, "Bkgnd.png"), "wb") as f:
    f.write(png)

# One 15000 x 15000 layer, three ZIP channels of zeros.
side = 15000
write("psd-layer-zip-bomb.psd",
      one_layer((0, 0, side, side), [(c, u16(2) + zeros_deflate(side * side)) for c in range(3)]))
