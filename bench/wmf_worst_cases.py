"""Small metafiles that ask for far more drawing than a picture should take, one per kind of
work the player's budget counts, written into the folder given as the argument."""
import math
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "picture", "wmf"))
from make_wmf_fixtures import Wmf  # noqa: E402

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def page():
    return Wmf((0, 0, 2000, 2000), 96, objects=4)


w = page()  # full-picture rectangles
w.pen(5, 0, 0)
w.select(0)
for i in range(150000):
    w.rec(0x041B, 2000, 2000, 0, 0)
w.save("rectangles.wmf", folder=out)

w = page()  # full-picture triangles, smoothed edges
w.pen(5, 0, 0)
w.select(0)
for i in range(150000):
    w.poly(0x0324, [(0, 0), (2000, 0), (1000, 2000)])
w.save("triangles.wmf", folder=out)

w = page()  # wide outlines across the picture
w.pen(0, 40, 0x0000FF)
w.select(0)
for i in range(100000):
    w.poly(0x0325, [(0, 0), (2000, 2000), (0, 2000), (2000, 0)])
w.save("outlines.wmf", folder=out)

w = page()  # forty large glyphs at a time
w.rec(0x02FB, -200, 0, 0, 0, 700, 0, 0, 0, 0, b"DejaVu Sans\0")
w.select(0)
for i in range(20000):
    w.rec(0x0521, 40, b"W" * 40, 1000, 0)
w.save("texts.wmf", folder=out)

w = page()  # a new font for every glyph
for i in range(20000):
    w.rec(0x02FB, -(i % 3000) - 1, 0, 0, 0, 700, 0, 0, 0, 0, b"Font%d\0" % i)
    w.select(0)
    w.delete(0)
    w.rec(0x0521, 1, b"W", 1000, 0)
w.save("fonts.wmf", folder=out)

w = page()  # a 100x100 bitmap stretched over the picture
row = bytes(range(256)) * 2
bitmap = (b"\x28\0\0\0" + (100).to_bytes(4, "little") + (100).to_bytes(4, "little") +
          b"\x01\0\x18\0" + bytes(24) + row[:300] * 100)
for i in range(1000):
    w.rec(0x0F43, *w.u32(0x00CC0020), 0, 100, 100, 0, 0, 2000, 2000, 0, 0, bitmap)
w.save("bitmaps.wmf", folder=out)

w = page()  # hatched full-picture rectangles on an opaque background
w.pen(5, 0, 0)
w.select(0)
w.brush(2, 0x0000FF, 4)
w.select(1)
for i in range(150000):
    w.rec(0x041B, 2000, 2000, 0, 0)
w.save("hatched.wmf", folder=out)

w = page()  # full-picture rectangles inverting what is there (a logical raster operation)
w.pen(5, 0, 0)
w.select(0)
w.rec(0x0104, 6)
for i in range(150000):
    w.rec(0x041B, 2000, 2000, 0, 0)
w.save("inverted.wmf", folder=out)

w = page()  # dashed wide outlines, thousands of dashes each
w.pen(2, 3, 0x0000FF)
w.select(0)
for i in range(20000):
    w.poly(0x0325, [(0, 0), (2000, 2000), (0, 2000), (2000, 0)] * 8)
w.save("dashes.wmf", folder=out)


def zigzag(points, side):
    """Edges from the top of the picture to its bottom and back: each row crosses them all."""
    return [(i * side // points, side if i % 2 else 0) for i in range(points)]


def filled(name, polygons, side=4000, records=1):
    w = Wmf((0, 0, side, side), 96, objects=4)
    w.pen(5, 0, 0)
    w.select(0)
    w.brush(0, 0x2040C0)
    w.select(1)
    for i in range(records):
        if len(polygons) == 1:
            w.poly(0x0324, polygons[0])
        else:
            w.rec(0x0538, len(polygons), *[len(p) for p in polygons],
                  *[c for p in polygons for q in p for c in q])
    w.save(name, folder=out)


# One filled zig-zag outline over a 4000-pixel picture: 50 and 400 points (a few hundred bytes),
# 32767 points six times, and a poly-polygon of 262144 points (about 1 MB).
filled("zigzag-50.wmf", [zigzag(50, 4000)])
filled("zigzag-400.wmf", [zigzag(400, 4000)])
filled("zigzag-32767.wmf", [zigzag(32767, 4000)], records=6)
rng = random.Random(1)
filled("scatter-262144.wmf",
       [[(rng.randrange(4000), rng.randrange(4000)) for _ in range(8192)] for _ in range(32)])
# A star whose every edge crosses most of the others, many times over.
star = [(int(2000 + 2000 * math.cos(2 * math.pi * i * 199 / 400)),
         int(2000 + 2000 * math.sin(2 * math.pi * i * 199 / 400))) for i in range(400)]
filled("star-400.wmf", [star], records=1000)
