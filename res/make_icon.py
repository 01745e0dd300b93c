#!/usr/bin/python3
"""Draws res/vistrel.png, the program's icon (256 x 256): a framed picture of a hill under a sun,
drawn four times larger and reduced, so that its edges are smooth."""
import os
from PIL import Image, ImageDraw

SIZE, SCALE = 256, 4
S = SIZE * SCALE


def box(*corners):
    return tuple(int(v * S) for v in corners)


image = Image.new("RGBA", (S, S), (0, 0, 0, 0))
draw = ImageDraw.Draw(image)
# Frame and sky.
draw.rounded_rectangle(box(0.06, 0.14, 0.94, 0.86), radius=int(0.08 * S), fill=(38, 44, 56, 255))
draw.rounded_rectangle(box(0.11, 0.19, 0.89, 0.81), radius=int(0.04 * S), fill=(96, 170, 228, 255))
# Sun, far hill, near hill; the hills are clipped to the sky by a mask.
hills = Image.new("RGBA", (S, S), (0, 0, 0, 0))
h = ImageDraw.Draw(hills)
h.ellipse(box(0.62, 0.26, 0.78, 0.42), fill=(255, 214, 80, 255))
h.ellipse(box(0.40, 0.52, 1.10, 1.10), fill=(58, 140, 84, 255))
h.ellipse(box(-0.10, 0.58, 0.70, 1.20), fill=(78, 176, 96, 255))
mask = Image.new("L", (S, S), 0)
ImageDraw.Draw(mask).rounded_rectangle(box(0.11, 0.19, 0.89, 0.81), radius=int(0.04 * S), fill=255)
image.paste(hills, (0, 0), Image.composite(hills, Image.new("RGBA", (S, S)), mask))
image = image.resize((SIZE, SIZE), Image.LANCZOS)
image.save(os.path.join(os.path.dirname(os.path.abspath(__file__)), "vistrel.png"), optimize=True)
