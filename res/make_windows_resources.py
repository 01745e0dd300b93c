#!/usr/bin/python3
"""Makes the Windows build's resource files in OUTDIR from the pictures of res/:
vistrel.ico (the program icon, from vistrel.png, in the sizes Windows shows),
rotate_cw_16.bmp, rotate_ccw_16.bmp, rotate_cw_13.bmp, rotate_ccw_13.bmp (the rotate items'
images as 32-bit bitmaps with premultiplied alpha, as menus draw them) and hand.cur (the pointing
hand over the start page's link, drawn here).

    make_windows_resources.py OUTDIR"""
import os
import struct
import sys
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))

# The hand: "#" black, "." white, blanks transparent; the hot spot is the index finger's tip.
HAND = """
     ##
    #..#
    #..#
    #..#
    #..#
    #..###
    #..#..###
    #..#..#..##
 ## #..#..#..#.#
#..##..#..#..#..#
#...#...........#
 #..............#
  #.............#
  #............#
   #...........#
   #..........#
    #.........#
    #.........#
     #.......#
     #########
"""
HAND_HOT_SPOT = (6, 1)
CURSOR_SIZE = 32


def write_icon(out):
    icon = Image.open(os.path.join(HERE, "vistrel.png")).convert("RGBA")
    icon.save(os.path.join(out, "vistrel.ico"),
              sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (64, 64), (256, 256)])


def write_menu_bitmap(source, target):
    image = Image.open(source).convert("RGBA")
    width, height = image.size
    rows = []
    for y in reversed(range(height)):  # a BMP file stores the bottom row first
        row = bytearray()
        for x in range(width):
            r, g, b, a = image.getpixel((x, y))
            row += bytes((b * a // 255, g * a // 255, r * a // 255, a))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(target, "wb") as f:
        f.write(header + info + pixels)


def write_cursor(target):
    lines = HAND.strip("\n").split("\n")
    size = CURSOR_SIZE
    stride = size // 8  # 1-bit rows of 32 pixels: four bytes, already a multiple of four
    xor, mask = [], []
    for y in reversed(range(size)):
        xor_row, mask_row = bytearray(stride), bytearray(stride)
        line = lines[y] if y < len(lines) else ""
        for x in range(size):
            c = line[x] if x < len(line) else " "
            bit = 0x80 >> (x % 8)
            if c == " ":
                mask_row[x // 8] |= bit  # screen kept
            elif c == ".":
                xor_row[x // 8] |= bit  # white
        xor.append(bytes(xor_row))
        mask.append(bytes(mask_row))
    image = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    image += bytes((0, 0, 0, 0, 255, 255, 255, 0))  # black, white
    image += b"".join(xor) + b"".join(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, HAND_HOT_SPOT[0], HAND_HOT_SPOT[1],
                        len(image), 6 + 16)
    with open(target, "wb") as f:
        f.write(directory + entry + image)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_icon(out)
    for name in ("rotate_cw_16", "rotate_ccw_16", "rotate_cw_13", "rotate_ccw_13"):
        write_menu_bitmap(os.path.join(HERE, name + ".png"), os.path.join(out, name + ".bmp"))
    write_cursor(os.path.join(out, "hand.cur"))


if __name__ == "__main__":
    main()
