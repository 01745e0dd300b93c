"""Placeable WMF files for the player's tests, written into the folder given as the argument:

- drawings our own SVGs describe, exported to WMF by Inkscape and by LibreOffice, with Inkscape's
  PNG export of the same SVG as the reference they are compared with;
- files our own writer puts together record by record, with the colours the player must leave at
  chosen pixels;
- damaged and hostile files, which must fail cleanly or draw what precedes the damage.

manifest.txt holds one line per check:
    file NAME ok|REASON WIDTH HEIGHT   (REASON: the word of the refusal the load must give)
    compare NAME REFERENCE.rgba MEAN_LIMIT OFF_LIMIT   (mean channel difference; share of pixels
                                                        more than 64 off in any channel)
    probe NAME X Y RRGGBB         (the pixel at X, Y within 8 per channel of the colour)
    somewhere NAME X0 Y0 X1 Y1 RRGGBB  (some pixel of the box within 48 of the colour)
"""
import base64
import io
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image

OUT = sys.argv[1] if __name__ == "__main__" else "."
manifest = []
UNTOUCHED = "fafafa"


def path(name):
    return os.path.join(OUT, name)


# --- Drawings exported by Inkscape and LibreOffice -----------------------------------------

# Each drawing fills its whole page first, so that LibreOffice, which crops to what is drawn,
# keeps the page as the frame.
SVGS = {
    "shapes": """
<rect width="200" height="150" fill="#ffffff"/>
<rect x="10" y="10" width="80" height="50" fill="#e02020" stroke="#000080" stroke-width="4"/>
<ellipse cx="140" cy="40" rx="40" ry="25" fill="#20b020"/>
<polyline points="10,100 60,80 110,120 190,90" fill="none" stroke="#2020f0" stroke-width="3"/>
<polygon points="120,140 150,100 180,140" fill="#ffcc00" stroke="#000000" stroke-width="1"/>
<path d="M 20 110 h 50 v 30 h -50 z M 35 118 h 20 v 14 h -20 z" fill="#a040c0"
      fill-rule="evenodd"/>
""",
    "text": """
<rect width="200" height="150" fill="#f0f0e0"/>
<text x="12" y="50" font-family="DejaVu Sans" font-size="32" fill="#802080">Wmf</text>
<text x="100" y="120" font-family="DejaVu Sans" font-size="20" font-weight="bold"
      fill="#204080" text-anchor="middle">Vistrel</text>
<line x1="10" y1="135" x2="190" y2="135" stroke="#c02000" stroke-width="2"/>
""",
    "picture": """
<rect width="200" height="150" fill="#ffffff"/>
<image x="20" y="15" width="160" height="120" preserveAspectRatio="none" xlink:href="{png}"/>
<circle cx="100" cy="75" r="30" fill="none" stroke="#ffffff" stroke-width="6"/>
""",
}


def embedded_png():
    """A small picture with four coloured quarters and a gradient, so that flipped rows,
    swapped channels and misplaced quarters all show."""
    image = Image.new("RGB", (40, 30))
    for y in range(30):
        for x in range(40):
            base = [(230, 40, 40), (40, 200, 40), (40, 40, 230), (240, 200, 0)][
                (y >= 15) * 2 + (x >= 20)]
            image.putpixel((x, y), tuple(min(255, c + x) for c in base))
    data = io.BytesIO()
    image.save(data, "PNG")
    return "data:image/png;base64," + base64.b64encode(data.getvalue()).decode()


def export_svgs():
    png = embedded_png()
    svg_files = []
    for name, body in SVGS.items():
        svg = path(name + ".svg")
        with open(svg, "w") as f:
            f.write('<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
                    'width="200" height="150" viewBox="0 0 200 150">' + body.replace("{png}", png) + "</svg>")
        svg_files.append(svg)
    env = dict(os.environ, HOME=tempfile.mkdtemp())  # no user profile for either program
    for svg in svg_files:
        name = os.path.splitext(os.path.basename(svg))[0]
        subprocess.run(["inkscape", "--export-type=wmf", "--export-filename=" +
                        path(name + "-inkscape.wmf"), svg], check=True, env=env,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["inkscape", "--export-type=png", "--export-background=#fafafa",
                        "--export-filename=" + path(name + ".png"), svg], check=True, env=env,
                       stderr=subprocess.DEVNULL)
        reference = Image.open(path(name + ".png")).convert("RGBA")
        assert reference.size == (200, 150), reference.size
        with open(path(name + ".rgba"), "wb") as f:
            f.write(reference.tobytes())
    lo = tempfile.mkdtemp()
    subprocess.run(["soffice", "--headless", "--convert-to", "wmf", "--outdir", lo, *svg_files],
                   check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for svg in svg_files:
        name = os.path.splitext(os.path.basename(svg))[0]
        wmf = path(name + "-libreoffice.wmf")
        os.replace(os.path.join(lo, name + ".wmf"), wmf)
        # LibreOffice puts the drawing on a page of its own making (smaller, and shifted), so
        # its file is compared with Inkscape's rendering of that file rather than of the SVG.
        png = path(name + "-libreoffice.png")
        subprocess.run(["inkscape", "--export-type=png", "--export-background=#fafafa",
                        "--export-filename=" + png, wmf], check=True, env=env,
                       stderr=subprocess.DEVNULL)
        reference = Image.open(png).convert("RGBA")
        with open(path(name + "-libreoffice.rgba"), "wb") as f:
            f.write(reference.tobytes())
        manifest.append(f"file {name}-libreoffice.wmf ok {reference.size[0]} {reference.size[1]}")
        manifest.append(f"compare {name}-libreoffice.wmf {name}-libreoffice.rgba "
                        f"{LIMITS[name][0]} {LIMITS[name][1]}")
        manifest.append(f"file {name}-inkscape.wmf ok 200 150")
        manifest.append(f"compare {name}-inkscape.wmf {name}.rgba "
                        f"{LIMITS[name][0]} {LIMITS[name][1]}")


# Limits measured with room to spare: the renderings smooth edges differently and place text a
# pixel apart.
LIMITS = {"shapes": (4, 0.05), "text": (6, 0.06), "picture": (6, 0.06)}


# --- Our own writer ------------------------------------------------------------------------

def word(v):
    return struct.pack("<H", v & 0xFFFF)


class Wmf:
    """A metafile put together record by record. Parameters are 16-bit words (ints) or raw
    bytes (padded to a whole word); 32-bit values are given as two words, low first."""

    def __init__(self, frame, inch, objects=16):
        self.frame, self.inch, self.objects = frame, inch, objects
        self.records = []

    def rec(self, function, *params, size=None):
        body = b"".join(word(p) if isinstance(p, int) else p + b"\0" * (len(p) % 2)
                        for p in params)
        words = size if size is not None else 3 + len(body) // 2
        self.records.append(struct.pack("<IH", words, function) + body)

    def u32(self, v):
        return (v & 0xFFFF, v >> 16 & 0xFFFF)

    def placeable(self):
        left, top, right, bottom = self.frame
        head = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, left, top, right, bottom, self.inch, 0)
        checksum = 0
        for (w,) in struct.iter_unpack("<H", head):
            checksum ^= w
        return head + word(checksum)

    def meta_header(self):
        body = b"".join(self.records) + struct.pack("<IH", 3, 0)
        largest = max([len(r) // 2 for r in self.records] + [3])
        return struct.pack("<HHHIHIH", 1, 9, 0x0300, 9 + len(body) // 2, self.objects,
                           largest, 0) + body

    def save(self, name, placeable=True, folder=None):
        with open(os.path.join(folder or OUT, name), "wb") as f:
            f.write((self.placeable() if placeable else b"") + self.meta_header())

    # Records, their arguments in the drawing call's order.
    def window(self, x, y, w, h):
        self.rec(0x020B, y, x)
        self.rec(0x020C, h, w)

    def pen(self, style, width, color):
        self.rec(0x02FA, style, width, 0, *self.u32(color))

    def brush(self, style, color, hatch=0):
        self.rec(0x02FC, style, *self.u32(color), hatch)

    def select(self, index):
        self.rec(0x012D, index)

    def delete(self, index):
        self.rec(0x01F0, index)

    def box(self, function, l, t, r, b, *before):
        self.rec(function, *before, b, r, t, l)

    def poly(self, function, points):
        self.rec(function, len(points), *[c for p in points for c in p])


def bgr(rgb):
    """0xRRGGBB as the 0x00BBGGRR colour records store."""
    return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | rgb >> 16


def dib(width, height, bpp, rows_bottom_up, colors=()):
    """A packed bitmap: info header, colour table (0xRRGGBB), rows (bytes, bottom row first)."""
    stride = (width * bpp + 31) // 32 * 4
    bits = b"".join(r.ljust(stride, b"\0") for r in rows_bottom_up)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(bits), 0, 0,
                         len(colors), 0)
    table = b"".join(struct.pack("<BBBB", c & 0xFF, c >> 8 & 0xFF, c >> 16, 0) for c in colors)
    return header + table + bits


def probe(name, x, y, rgb):
    manifest.append(f"probe {name} {x} {y} {rgb}")


def records_file():
    """Every kind of record the player draws, on a 400x300 picture whose logical units are 15
    to the pixel; the probes name the colours the records must leave."""
    name = "records.wmf"
    w = Wmf((0, 0, 6000, 4500), 1440, objects=8)
    w.window(0, 0, 6000, 4500)
    S = 15  # logical units per pixel

    def box(function, l, t, r, b, *before):
        w.box(function, l * S, t * S, r * S, b * S, *before)

    def at(*pixel_points):
        return [(x * S, y * S) for x, y in pixel_points]

    w.pen(0, 0, 0x000000)  # 0: black hairline
    w.brush(0, bgr(0xFF0000))  # 1: red
    w.select(0)
    w.select(1)
    box(0x041B, 10, 10, 90, 60)  # rectangle
    probe(name, 50, 35, "ff0000")
    probe(name, 10, 35, "000000")  # its outline
    w.pen(5, 0, 0)  # 2: the null pen
    w.select(2)
    w.brush(0, bgr(0x00FF00))  # 3: green
    w.select(3)
    box(0x0418, 100, 10, 190, 60)  # ellipse
    probe(name, 145, 50, "00ff00")
    probe(name, 102, 12, UNTOUCHED)
    w.delete(3)
    w.brush(0, bgr(0x0000FF))  # 3 again: a new object takes the lowest free slot
    w.select(3)
    box(0x061C, 200, 10, 290, 60, 40 * S, 40 * S)  # round rectangle, 40x40 corners
    probe(name, 245, 35, "0000ff")
    probe(name, 201, 11, UNTOUCHED)
    w.delete(3)
    w.brush(0, bgr(0xFFFF00))
    w.select(3)
    # Pie from the right (0 degrees) counter-clockwise to the top (90 degrees).
    box(0x081A, 300, 10, 390, 100, 10 * S, 345 * S, 55 * S, 390 * S)
    probe(name, 370, 40, "ffff00")
    probe(name, 320, 80, UNTOUCHED)
    w.delete(3)
    w.brush(0, bgr(0xFF00FF))
    w.select(3)
    # Chord from the right to the left: the upper half.
    box(0x0830, 10, 110, 100, 200, 155 * S, 10 * S, 155 * S, 100 * S)
    probe(name, 55, 130, "ff00ff")
    probe(name, 55, 185, UNTOUCHED)
    # Pentagrams: the alternate fill leaves the middle empty, the winding fill does not.
    star = [(155, 110), (182, 195), (110, 142), (200, 142), (128, 195)]
    w.rec(0x0106, 1)
    w.poly(0x0324, at(*star))
    probe(name, 155, 160, UNTOUCHED)
    probe(name, 155, 125, "ff00ff")
    w.rec(0x0106, 2)
    w.poly(0x0324, at(*[(x + 100, y) for x, y in star]))
    probe(name, 255, 160, "ff00ff")
    # A ring: two squares in one poly-polygon, alternate fill.
    w.rec(0x0106, 1)
    outer = at((310, 110), (390, 110), (390, 190), (310, 190))
    inner = at((330, 130), (370, 130), (370, 170), (330, 170))
    w.rec(0x0538, 2, 4, 4, *[c for p in outer + inner for c in p])
    probe(name, 320, 150, "ff00ff")
    probe(name, 350, 150, UNTOUCHED)
    # Saved and restored state: the brush selected in between is gone afterwards.
    w.rec(0x001E)
    w.select(1)  # red
    w.rec(0x001E)
    w.brush(0, bgr(0x00FFFF))  # 4
    w.select(4)
    w.rec(0x0127, 0xFFFF)  # restore the last saved state: red again
    # Clipping: only the clip rectangle's part of a large rectangle shows.
    w.rec(0x0416, 250 * S, 50 * S, 210 * S, 10 * S)
    box(0x041B, 10, 210, 100, 290)
    probe(name, 30, 230, "ff0000")
    probe(name, 80, 270, UNTOUCHED)
    w.rec(0x0127, 0xFFFF)  # the clipping ends with the state that had none
    # An opaque rectangle without text (background colour grey).
    w.rec(0x0201, *w.u32(bgr(0x808080)))
    w.rec(0x0A32, 210 * S, 110 * S, 0, 2, 110 * S, 210 * S, 200 * S, 250 * S)
    probe(name, 155, 230, "808080")
    # A 2x2 bitmap stretched over 80x80 pixels: its first stored row is the bottom one.
    bitmap = dib(2, 2, 24, [bytes([255, 0, 0, 255, 255, 255]), bytes([0, 0, 255, 0, 255, 0])])
    w.rec(0x0F43, *w.u32(0x00CC0020), 0, 2, 2, 0, 0, 80 * S, 80 * S, 210 * S, 210 * S, bitmap)
    probe(name, 230, 230, "ff0000")
    probe(name, 270, 230, "00ff00")
    probe(name, 230, 270, "0000ff")
    probe(name, 270, 270, "ffffff")
    # Inverting the destination through a pattern blit: green becomes magenta.
    w.rec(0x061D, *w.u32(0x00550009), 10 * S, 30 * S, 30 * S, 130 * S)
    probe(name, 145, 35, "ff00ff")
    # Bits set to the device keep their pixel size: 4x4 white pixels.
    white = dib(4, 4, 1, [b"\xf0"] * 4, colors=[0x000000, 0xFFFFFF])
    w.rec(0x0D33, 0, 4, 0, 0, 0, 4, 4, 210 * S, 310 * S, white)
    probe(name, 311, 211, "ffffff")
    probe(name, 316, 216, UNTOUCHED)
    # A pattern brush from a 1-bit bitmap whose pixels are all the second colour.
    pattern = dib(8, 8, 1, [b"\xff"] * 8, colors=[0x000000, 0x123456])
    w.delete(4)
    w.rec(0x0142, 5, 0, pattern)  # 4
    w.select(4)
    box(0x041B, 330, 230, 390, 290)
    probe(name, 360, 260, "123456")
    # A palette and a brush whose colour is an index into it.
    w.rec(0x00F7, 0x0300, 2, 0, 0, 0x4080, 0x00C0)  # 5: black, (80, 40, c0)
    w.rec(0x0234, 5)
    w.delete(4)
    w.brush(0, 0x01000001)
    w.select(4)
    box(0x041B, 110, 260, 200, 290)
    probe(name, 155, 275, "8040c0")
    # Text, opaque background off, in a font 20 pixels high.
    w.rec(0x0102, 1)
    w.rec(0x0209, *w.u32(bgr(0x2040A0)))
    w.rec(0x02FB, -20 * S, 0, 0, 0, 700, 0, 0, 0, 0, b"DejaVu Sans\0")  # 6
    w.select(6)
    w.rec(0x0521, 2, b"Hi", 280 * S, 20 * S)  # top-left aligned at (20, 280)... clipped below
    manifest.append(f"somewhere {name} 20 260 60 299 2040a0")
    # A hairline along the bottom lights exactly its own row of pixels.
    w.pen(0, 0, bgr(0x0000FF))  # 7
    w.select(7)
    w.rec(0x0214, 297 * S, 0)
    w.rec(0x0213, 297 * S, 399 * S)
    probe(name, 200, 297, "0000ff")
    probe(name, 200, 296, UNTOUCHED)
    probe(name, 200, 298, UNTOUCHED)
    w.save(name)
    manifest.append(f"file {name} ok 400 300")


def flipped_file():
    """A window whose y extent is negative: logical y grows upwards."""
    name = "flipped.wmf"
    w = Wmf((0, 0, 1000, 1000), 960)
    w.window(0, 100, 100, -100)
    w.brush(0, bgr(0xFF0000))
    w.select(0)
    w.box(0x041B, 10, 10, 40, 40)
    w.save(name)
    manifest.append(f"file {name} ok 100 100")
    probe(name, 25, 75, "ff0000")
    probe(name, 25, 25, UNTOUCHED)


def blit_file():
    """Bitmap blits with logical operations, one logical unit to the pixel."""
    name = "blits.wmf"
    w = Wmf((0, 0, 100, 100), 96)
    w.brush(0, bgr(0xFF0000))
    w.select(0)
    w.box(0x041B, 0, 0, 100, 100)
    # An 8-bit bitmap (every pixel cyan) put with exclusive or: red ^ cyan is white.
    cyan = dib(20, 15, 8, [bytes(20)] * 15, colors=[0x00FFFF])
    w.rec(0x0940, *w.u32(0x00660046), 0, 0, 15, 20, 10, 10, cyan)
    probe(name, 20, 17, "ffffff")
    probe(name, 35, 17, "ff0000")
    # The same, stretched to twice its size and mirrored left to right: a 2x1 bitmap, black
    # on the left, white on the right, drawn with the source's "and": red & white shows red at
    # the left of the target.
    pair = dib(2, 1, 24, [bytes([0, 0, 0, 255, 255, 255])])
    w.rec(0x0B41, *w.u32(0x008800C6), 1, 2, 0, 0, 20, -40, 50, 90, pair)
    probe(name, 60, 60, "ff0000")
    probe(name, 80, 60, "000000")
    w.save(name)
    manifest.append(f"file {name} ok 100 100")


def damaged_files():
    # Without the placeable header, with no units per inch, with an inverted frame, and with a
    # frame of more pixels than any picture may have: all refused.
    w = Wmf((0, 0, 100, 100), 96)
    w.rec(0x041B, 50, 50, 10, 10)
    w.save("no-placeable.wmf", placeable=False)
    Wmf((0, 0, 100, 100), 0).save("no-inch.wmf")
    Wmf((100, 0, 0, 100), 96).save("inverted.wmf")
    Wmf((-32768, -32768, 32767, 32767), 1).save("too-large.wmf")
    for name, reason in (("no-placeable.wmf", "unknown-format"), ("no-inch.wmf", "malformed"),
                         ("inverted.wmf", "malformed"), ("too-large.wmf", "too-large")):
        manifest.append(f"file {name} {reason} 0 0")

    # Records that claim more than they hold are passed over; a record that claims more than
    # the file holds ends the picture. The rectangles before and after show which was which.
    name = "short-records.wmf"
    w = Wmf((0, 0, 100, 100), 96, objects=4)
    w.brush(0, bgr(0x00FF00))
    w.select(0)
    w.rec(0x0324, 30000, 1, 2, 3, 4)  # polygon of 30000 points with two
    w.rec(0x0538, 3, 1000, 1000)  # poly-polygon without its points
    w.rec(0x0521, 500, b"abc")  # text longer than its record
    w.rec(0x0A32, 1, 1, 400, 6, 0)  # opaque text without its rectangle
    w.rec(0x0F43, *w.u32(0x00CC0020), 0, 10, 10, 0, 0, 10, 10, 0, 0,
          struct.pack("<IiiHHI", 40, 30000, 30000, 1, 24, 0))  # bitmap rows missing
    w.rec(0x0F43, *w.u32(0x00CC0020), 0, 10, 10, 0, 0, 10, 10, 0, 0,
          struct.pack("<Iii", 999, 1, 1))  # unknown bitmap header
    w.rec(0x06FF, 0, 6, 0, 0, 0, 500, 0, 0, 0, 0, 0, 2, 0, 10)  # region of 500 scans with one
    w.rec(0x00F7, 0x0300, 65535, 1, 2)  # palette of 65535 entries with one
    w.rec(0x02FB, 12)  # font without its fields
    w.select(65535)
    w.delete(65535)
    w.rec(0x0127, 0x8000)  # restore far beyond what was saved
    w.rec(0x0234, 3)  # select a palette from an empty slot
    w.rec(0x020C, 0, 0)  # an empty window
    w.rec(0x7777, 1, 2, 3)  # unknown
    w.rec(0x041B, 50, 50, 10, 10)
    w.rec(0x041B, 90, 90, 60, 60, size=1000)  # beyond the file: the end
    w.save(name)
    manifest.append(f"file {name} ok 100 100")
    probe(name, 30, 30, "00ff00")
    probe(name, 75, 75, UNTOUCHED)

    # A small file that repeats a full-picture fill far more often than could ever be drawn in
    # time, and one that fills the object table and saves states without end: the work budget
    # and the bounds end them, and what was drawn by then shows.
    name = "repeated-fills.wmf"
    w = Wmf((0, 0, 2000, 2000), 96)
    w.pen(5, 0, 0)
    w.select(0)
    for i in range(150000):
        w.rec(0x041B, 2000, 2000, 0, 0)
    w.save(name)
    manifest.append(f"file {name} ok 2000 2000")
    probe(name, 1000, 1000, "ffffff")
    # Filled zig-zags whose edges all cross every row (Qt's fill of the 400-point one took over a
    # minute): the work budget charges what they cost to fill before filling. 400 points fill;
    # 32767 cost more than the whole budget, so nothing is drawn.
    for points, drawn in ((400, True), (32767, False)):
        name = f"zigzag-{points}.wmf"
        w = Wmf((0, 0, 4000, 4000), 96, objects=4)
        w.pen(5, 0, 0)
        w.select(0)
        w.brush(0, bgr(0x2040C0))
        w.select(1)
        w.poly(0x0324, [(i * 4000 // points, 4000 if i % 2 else 0) for i in range(points)])
        w.save(name)
        manifest.append(f"file {name} ok 4000 4000")
        if drawn:
            manifest.append(f"somewhere {name} 100 1000 200 1100 2040c0")
        else:
            probe(name, 2000, 2000, UNTOUCHED)
    name = "many-objects.wmf"
    w = Wmf((0, 0, 100, 100), 96, objects=65535)
    for i in range(70000):
        w.pen(0, 1, i)
        w.rec(0x001E)
    w.save(name)
    manifest.append(f"file {name} ok 100 100")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    export_svgs()
    records_file()
    flipped_file()
    blit_file()
    damaged_files()
    with open(path("manifest.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")
