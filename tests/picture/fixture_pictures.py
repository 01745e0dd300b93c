"""The picture the decoder test files are made from, shared by the scripts in fixtures/."""
from PIL import Image, ImageDraw


def source_picture(w, h, with_alpha=False):
    """A picture with gradients, edges and a translucent disc, so that shifted rows, swapped
    channels and wrong orientation all show; with alpha, a clear corner too."""
    img = Image.new("RGBA", (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = ((x * 255) // max(1, w - 1), (y * 255) // max(1, h - 1),
                        ((x + 2 * y) * 7) % 256, 255)
    draw = ImageDraw.Draw(img)
    draw.rectangle((w // 8, h // 8, w // 3, h // 2), fill=(255, 255, 0, 255))
    if with_alpha:
        draw.ellipse((w // 2, h // 4, w - 2, h - 2), fill=(0, 0, 255, 96))
        draw.rectangle((0, 0, w // 5, h // 5), fill=(0, 0, 0, 0))
    return img
