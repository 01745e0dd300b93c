#!/usr/bin/python3
"""Draws res/sample.png, the picture the run script shows when given none."""
import os
from PIL import Image, ImageDraw

W, H = 480, 320
image = Image.new("RGB", (W, H))
pixels = image.load()
for y in range(H):
    for x in range(W):
        pixels[x, y] = (255 * x // (W - 1), 255 * y // (H - 1), 255 - 255 * x // (W - 1))
draw = ImageDraw.Draw(image)
draw.ellipse((140, 60, 340, 260), fill=(250, 250, 240), outline=(20, 20, 20), width=4)
draw.text((200, 150), "Vistrel", fill=(20, 20, 20))
image.save(os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample.png"), optimize=True)
