"""Small metafiles that ask for far more drawing than a picture should take, one per kind of
work the player's budget counts, written into the folder given as the argument."""
import os
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
