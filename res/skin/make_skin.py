#!/usr/bin/python3
"""Draws the sample start page skin into this folder:

    Bkgnd.png     the page (440 x 330): a dark panel with transparent rounded corners, the
                  program's name and the keyboard and mouse map
    BtnHelp.png   the help button, four 19 x 19 frames side by side
    BtnClose.png  the close button, four 19 x 19 frames
    BtnLink.png   the home page link, four 168 x 22 frames

The frames are, left to right: normal, pressed, hovered, and a dimmed one the program does not
use. The program copies a frame over the page without blending, alpha included, so every frame
is drawn over a copy of the page's own pixels at the place the program puts the button: help and
close 33 and 14 pixels left of the right edge, 8 from the top; the link centred, 23 pixels above
the bottom. Shapes are drawn four times larger and reduced, so their edges are smooth.

Needs Pillow and the DejaVu fonts (Debian's python3-pil and fonts-dejavu-core)."""
import os
from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONTS = "/usr/share/fonts/truetype/dejavu/"
WIDTH, HEIGHT, RADIUS = 440, 330, 18
SCALE = 4

PANEL = (38, 44, 56, 255)
EDGE = (96, 170, 228, 255)
TEXT = (226, 230, 238, 255)
DIM_TEXT = (150, 160, 178, 255)
# Button faces by frame: normal, pressed, hovered, dimmed.
FACES = [(64, 74, 92, 255), (30, 96, 150, 255), (96, 170, 228, 255), (52, 58, 70, 255)]
MARKS = [TEXT, TEXT, (20, 28, 40, 255), DIM_TEXT]

HELP = (19, 19)
CLOSE = (19, 19)
LINK = (168, 22)
LINK_TEXT = "vistrel.quorbane.com"

KEYS = [
    ("Drop in an image file", None),
    (None, None),
    ("Keyboard map", None),
    ("Esc", "Exit"),
    ("Up", "Previous image"),
    ("Down", "Next image"),
    ("*", "Resize to screen"),
    (None, None),
    ("Mouse map", None),
    ("Double click right button", "Exit"),
    ("Click center button", "Toggle always on top"),
    ("Wheel up", "Previous image"),
    ("Wheel down", "Next image"),
]


def font(name, size):
    return ImageFont.truetype(FONTS + name, size)


def smooth(size, draw_big):
    """An RGBA image of `size` drawn by draw_big(draw, scale) at four times the size, reduced."""
    big = Image.new("RGBA", (size[0] * SCALE, size[1] * SCALE), (0, 0, 0, 0))
    draw_big(ImageDraw.Draw(big), SCALE)
    return big.resize(size, Image.LANCZOS)


def page():
    def panel(draw, s):
        draw.rounded_rectangle((0, 0, WIDTH * s - 1, HEIGHT * s - 1), radius=RADIUS * s,
                               fill=EDGE)
        draw.rounded_rectangle((2 * s, 2 * s, (WIDTH - 2) * s - 1, (HEIGHT - 2) * s - 1),
                               radius=(RADIUS - 2) * s, fill=PANEL)
    image = smooth((WIDTH, HEIGHT), panel)
    draw = ImageDraw.Draw(image)
    draw.text((24, 14), "Vistrel", font=font("DejaVuSans-Bold.ttf", 22), fill=TEXT)
    body, heading = font("DejaVuSans.ttf", 13), font("DejaVuSans-Bold.ttf", 13)
    y = 58
    for left, right in KEYS:
        if left and right:
            draw.text((WIDTH // 2 - 8, y), left, font=body, fill=DIM_TEXT, anchor="ra")
            draw.text((WIDTH // 2 + 8, y), right, font=body, fill=TEXT)
        elif left:
            draw.text((WIDTH // 2, y), left, font=heading, fill=TEXT, anchor="ma")
        y += 17
    return image


def place(name, size):
    w, h = size
    if name == "help":
        return (WIDTH - w - 33, 8)
    if name == "close":
        return (WIDTH - w - 14, 8)
    return ((WIDTH - w) // 2, HEIGHT - h - 23)


def strip(background, name, size, mark):
    """Four frames, each the page's pixels under the button with the button drawn over them."""
    w, h = size
    x, y = place(name, size)
    out = Image.new("RGBA", (4 * w, h))
    for frame in range(4):
        under = background.crop((x, y, x + w, y + h))
        face = smooth(size, lambda draw, s: mark(draw, s, frame, w, h))
        under.alpha_composite(face)
        if name == "link":
            draw = ImageDraw.Draw(under)
            draw.text((w // 2, h // 2 + (1 if frame == 1 else 0)), LINK_TEXT,
                      font=font("DejaVuSans.ttf", 12), fill=MARKS[frame], anchor="mm")
        out.paste(under, (frame * w, 0))
    return out


def round_button(glyph):
    def mark(draw, s, frame, w, h):
        draw.ellipse((0, 0, w * s - 1, h * s - 1), fill=FACES[frame])
        ink, stroke = MARKS[frame], int(1.6 * s)
        if glyph == "close":
            a, b = 6 * s, (w - 6) * s
            draw.line((a, a, b, b), fill=ink, width=stroke)
            draw.line((b, a, a, b), fill=ink, width=stroke)
        else:
            # A question mark: an open hook and a dot.
            c = w * s / 2
            draw.arc((c - 3.5 * s, 4 * s, c + 3.5 * s, 11 * s), start=180, end=90, fill=ink,
                     width=stroke)
            draw.line((c, 11 * s, c, 12.5 * s), fill=ink, width=stroke)
            draw.ellipse((c - s, 14 * s, c + s, 16 * s), fill=ink)
    return mark


def link_face(draw, s, frame, w, h):
    draw.rounded_rectangle((0, 0, w * s - 1, h * s - 1), radius=h * s // 2, fill=FACES[frame])


def main():
    background = page()
    background.save(os.path.join(HERE, "Bkgnd.png"), optimize=True)
    strip(background, "help", HELP, round_button("help")).save(
        os.path.join(HERE, "BtnHelp.png"), optimize=True)
    strip(background, "close", CLOSE, round_button("close")).save(
        os.path.join(HERE, "BtnClose.png"), optimize=True)
    strip(background, "link", LINK, link_face).save(os.path.join(HERE, "BtnLink.png"),
                                                    optimize=True)


if __name__ == "__main__":
    main()
