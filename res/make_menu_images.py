#!/usr/bin/python3
"""Draws the images of the context menu's rotate items:
rotate_cw_16.png and rotate_ccw_16.png for menus whose check mark is 15 pixels or more,
rotate_cw_13.png and rotate_ccw_13.png for smaller ones.

Each is a three-quarter circle arrow, drawn four times larger and reduced, so its edges are
smooth; the counter-clockwise one is the clockwise one mirrored."""
import math
import os
from PIL import Image, ImageDraw, ImageOps

HERE = os.path.dirname(os.path.abspath(__file__))
INK = (32, 64, 144, 255)
SCALE = 4


def clockwise(size):
    big = size * SCALE
    image = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    centre = big / 2
    radius = big * 0.32
    stroke = max(SCALE * 2, round(big * 0.13))
    box = (centre - radius, centre - radius, centre + radius, centre + radius)
    # Pillow's angles run clockwise from three o'clock; the arc starts at the bottom left and runs
    # round through the left and the top to the right.
    start, end = 110, 10
    draw.arc(box, start=start - 360, end=end, fill=INK, width=stroke)
    # Arrowhead at the arc's end, pointing along the clockwise direction of travel.
    a = math.radians(end)
    tip_x, tip_y = centre + radius * math.cos(a), centre + radius * math.sin(a)
    tangent = a + math.pi / 2  # clockwise travel on screen (y grows downwards)
    head = big * 0.36
    along_x, along_y = math.cos(tangent), math.sin(tangent)
    across_x, across_y = -along_y, along_x
    point = (tip_x + along_x * head * 0.7, tip_y + along_y * head * 0.7)
    left = (tip_x + across_x * head * 0.6, tip_y + across_y * head * 0.6)
    right = (tip_x - across_x * head * 0.6, tip_y - across_y * head * 0.6)
    draw.polygon([point, left, right], fill=INK)
    return image.resize((size, size), Image.LANCZOS)


def main():
    for size in (16, 13):
        cw = clockwise(size)
        cw.save(os.path.join(HERE, f"rotate_cw_{size}.png"), optimize=True)
        ImageOps.mirror(cw).save(os.path.join(HERE, f"rotate_ccw_{size}.png"), optimize=True)


if __name__ == "__main__":
    main()
