#!/usr/bin/python3
"""vistrel-psd's layer composite against psd-tools' composite() (Debian's python3-psd-tools, run as
a black box) on documents saved without a merged picture, written by our own layer writer.

  compare_composite.py VISTREL_PSD FOLDER [VISTREL_DECODE]

Each document is made from seeded noise and gradients, so every run compares the same files: one
per blend mode, masks (default colours, disabled, relative), clipping groups, pass-through and
isolated groups (nested, with opacity and masks), hidden layers, fill opacity, 16-bit and
grayscale documents. (psd-tools 1.9 cannot composite CMYK documents: its composite() fails on
them; the compositor's CMYK path is checked by the PSD unit tests.) Both composites must agree within 2 levels on every channel of every pixel
(colour compared where the pixel is not transparent). With VISTREL_DECODE, the viewer's own
decode of each RGB document (shown over white, as a three-channel picture) must agree with
psd-tools' composite over white the same way. Prints one line per document and exits non-zero
when any differs.

Where the two are known to differ the case is left out, with the reason (in KNOWN):
  - dissolve scatters pixels by a noise of each program's own;
  - vivid light: psd-tools burns by the source where the mode's definition burns by twice the
    source (source below one half), which darkens most of that range to black;
  - hue and saturation: psd-tools' saturation step does not keep the source's (hue) or the
    backdrop's (saturation) hue as the published blend-mode definition does; colour and
    luminosity, which share the rest of the definition, agree;
  - hard mix where a channel's backdrop and source sum to exactly 255: full, as Photoshop's own
    description of the mode says ("255 or greater"), where psd-tools gives 0 (so the hard mix
    document holds even samples only);
  - a pass-through group as a clipping base whose members blend in modes other than normal:
    psd-tools blends them with what lies below the group, we within the group (the clipping
    group's canvas), so the base group here is isolated;
  - a clipping base with opacity below 100 %: its opacity fades the whole clipping group (the
    clipped layers "take on the opacity of the base layer"), where psd-tools leaves the clipped
    layers nearly at full strength.
"""
import subprocess
import sys
from pathlib import Path

import numpy as np
from PIL import Image
from psd_tools import PSDImage

sys.path.insert(0, str(Path(__file__).resolve().parent / "fixtures"))
from psd_layers_writer import Document, Group, Layer  # noqa: E402

W, H = 61, 43
TOLERANCE = 2

# Every blend key both programs draw alike.
MODES = [b"norm", b"dark", b"mul ", b"idiv", b"lbrn", b"lite", b"scrn", b"div ", b"lddg",
         b"over", b"sLit", b"hLit", b"lLit", b"pLit", b"hMix", b"diff", b"smud", b"colr", b"lum "]
KNOWN = {b"diss": "noise of its own", b"vLit": "psd-tools burns by the source, not twice it",
         b"hue ": "psd-tools' saturation step", b"sat ": "psd-tools' saturation step"}


def noise(seed, h, w, c, low=0, high=256):
    return np.random.default_rng(seed).integers(low, high, (h, w, c), dtype=np.int64)


def picture(seed, h, w, alpha=True, opaque=False, even=False):
    """Smooth colour with a little noise, and an alpha ramp with holes unless `opaque`; `even`
    keeps the colour samples even."""
    y, x = np.mgrid[0:h, 0:w]
    out = np.zeros((h, w, 4), np.int64)
    for c in range(3):
        out[:, :, c] = (x * (3 + c + seed % 5) + y * (7 - c) + 50 * seed) % 256
    out[:, :, :3] = np.clip(out[:, :, :3] + noise(seed, h, w, 3, -20, 21), 0, 255)
    if opaque:
        out[:, :, 3] = 255
    else:
        out[:, :, 3] = np.clip((x * 255) // max(1, w - 1) + noise(seed + 1, h, w, 1, -40, 41)[:, :, 0],
                               0, 255)
        out[(x + y) % 11 == 0, 3] = 0
    if even:
        out[:, :, :3] &= ~1
    return out.astype(np.uint8) if alpha else out[:, :, :3].astype(np.uint8)


def background(seed=100, even=False):
    return Layer(b"Background", picture(seed, H, W, opaque=True, even=even))


def mask(seed, top, left, h, w, **kw):
    y, x = np.mgrid[0:h, 0:w]
    pixels = ((x * 255) // max(1, w - 1) ^ (y * 16)) & 255
    return dict(top=top, left=left, pixels=pixels.astype(np.uint8), **kw)


def documents():
    """(name, Document) pairs."""
    docs = []
    for i, key in enumerate(MODES):
        # Translucent layers over the background, one across the document's edge.
        even = key == b"hMix"
        layers = [background(even=even),
                  Layer(b"top", picture(i, 30, 40, even=even), top=5, left=12, blend=key,
                        opacity=210),
                  Layer(b"edge", picture(i + 50, 10, 15, even=even), top=-4, left=50, blend=key)]
        docs.append((f"mode_{key.decode().strip()}", Document("rgb", 8, W, H, layers)))

    masks = [background(),
             Layer(b"m255", picture(1, 20, 30), top=2, left=3,
                   mask=mask(1, 5, 0, 10, 20, default=255)),
             Layer(b"m0", picture(2, 20, 30), top=20, left=25, blend=b"mul ",
                   mask=mask(2, 22, 30, 12, 12, default=0)),
             Layer(b"m128 relative", picture(3, 25, 25), top=10, left=30,
                   mask=mask(3, 0, 0, 40, 10, default=128, relative=True)),
             Layer(b"disabled", picture(4, 12, 12), top=30, left=2,
                   mask=mask(4, 30, 2, 6, 6, default=0, disabled=True))]
    docs.append(("masks", Document("rgb", 8, W, H, masks)))

    clipping = [background(),
                Layer(b"base", picture(5, 30, 30), top=5, left=5, fill=200),
                Layer(b"clip multiply", picture(6, 40, 40, opaque=True), top=0, left=0,
                      blend=b"mul ", clipping=True, opacity=180),
                Layer(b"clip hidden", picture(7, 40, 40), clipping=True, hidden=True),
                Layer(b"clip screen", picture(8, 20, 50), top=15, left=10, blend=b"scrn",
                      clipping=True),
                Layer(b"above", picture(9, 10, 10), top=30, left=45, blend=b"over"),
                Layer(b"clip base masked", picture(10, 30, 20), top=3, left=40,
                      mask=mask(10, 3, 40, 30, 20)),
                Layer(b"clip on masked", picture(11, 30, 30, opaque=True), top=0, left=35,
                      clipping=True, blend=b"diff")]
    docs.append(("clipping", Document("rgb", 8, W, H, clipping)))
    group_base = [background(),
                  Group(b"base group", [Layer(b"g1", picture(31, 20, 30), top=3, left=3),
                                        Layer(b"g2", picture(32, 20, 30), top=12, left=20,
                                              blend=b"scrn")], blend=b"norm"),
                  Layer(b"clipped", picture(33, 40, 50, opaque=True), top=-2, left=-3,
                        blend=b"mul ", clipping=True, opacity=200),
                  Group(b"isolated base", [Layer(b"g3", picture(34, 15, 25), top=25, left=30)],
                        blend=b"norm", opacity=180),
                  Group(b"clipped group", [Layer(b"g4", picture(35, 30, 40), top=15, left=20,
                                                 blend=b"diff")], blend=b"pass", clipping=True)]
    docs.append(("clip_on_groups", Document("rgb", 8, W, H, group_base)))

    groups = [background(),
              Group(b"pass", [Layer(b"in pass", picture(12, 30, 30), top=2, left=2,
                                    blend=b"mul ")]),
              Group(b"pass faded", [Layer(b"in faded", picture(13, 30, 30), top=10, left=25,
                                          blend=b"diff")], opacity=120,
                    mask=mask(13, 5, 20, 30, 30, default=0)),
              Group(b"isolated", [Layer(b"iso a", picture(14, 25, 40), top=18, left=5),
                                  Layer(b"iso b", picture(15, 25, 40), top=20, left=15,
                                        blend=b"mul "),
                                  Group(b"nested", [Layer(b"deep", picture(16, 15, 15), top=25,
                                                          left=30, blend=b"scrn")],
                                        blend=b"norm", opacity=200)],
                    blend=b"over", opacity=230),
              Group(b"hidden group", [Layer(b"unseen", picture(17, 40, 60), opacity=255)],
                    hidden=True),
              Layer(b"hidden", picture(18, 43, 61), hidden=True),
              Layer(b"fill", picture(19, 20, 20), top=20, left=38, fill=100, opacity=200,
                    blend=b"lite")]
    docs.append(("groups", Document("rgb", 8, W, H, groups)))

    def wide(seed, h, w, channels):
        y, x = np.mgrid[0:h, 0:w]
        out = np.zeros((h, w, channels), np.int64)
        for c in range(channels - 1):
            out[:, :, c] = (x * (700 + 100 * c) + y * (900 - 80 * c) + 9000 * seed) % 65536
        out[:, :, channels - 1] = np.clip(x * 65535 // max(1, w - 1), 0, 65535)
        return out.astype(np.uint16)

    bg16 = wide(20, H, W, 4)
    bg16[:, :, 3] = 65535
    docs.append(("rgb16", Document("rgb", 16, W, H, [
        Layer(b"bg", bg16), Layer(b"a", wide(21, 30, 40, 4), top=5, left=5, blend=b"scrn",
                                  opacity=200),
        Layer(b"b", wide(22, 20, 30, 4), top=20, left=25, blend=b"mul ",
              mask=mask(22, 20, 25, 20, 30, default=0))])))

    def gray(seed, h, w, opaque=False):
        p = picture(seed, h, w, opaque=opaque)
        return np.dstack([p[:, :, 0], p[:, :, 3]])

    docs.append(("gray8", Document("gray", 8, W, H, [
        Layer(b"bg", gray(23, H, W, opaque=True)),
        Layer(b"a", gray(24, 30, 30), top=4, left=8, blend=b"over", opacity=180),
        Group(b"g", [Layer(b"b", gray(25, 30, 30), top=10, left=25, blend=b"mul ")],
              blend=b"norm", opacity=150)])))
    g16 = wide(26, H, W, 2)
    g16[:, :, 1] = 65535
    docs.append(("gray16", Document("gray", 16, W, H, [
        Layer(b"bg", g16), Layer(b"a", wide(27, 30, 40, 2), top=6, left=6, blend=b"scrn")])))

    return docs


def rgba(image):
    return np.asarray(image.convert("RGBA")).astype(np.int64)


def compare(ours, theirs):
    """The largest difference of alpha and (where both show something) of colour."""
    alpha = np.abs(ours[:, :, 3] - theirs[:, :, 3])
    seen = (ours[:, :, 3] > 0) & (theirs[:, :, 3] > 0)
    colour = np.abs(ours[:, :, :3] - theirs[:, :, :3])[seen]
    return int(alpha.max()), int(colour.max()) if colour.size else 0


def main():
    tool, folder = sys.argv[1], Path(sys.argv[2])
    decoder = sys.argv[3] if len(sys.argv) > 3 else None
    folder.mkdir(parents=True, exist_ok=True)
    failed = 0
    for name, doc in documents():
        path = folder / f"{name}.psd"
        doc.write(path)
        png = folder / f"{name}.ours.png"
        subprocess.run([tool, "--composite", str(png), str(path)], check=True,
                       stdout=subprocess.DEVNULL)
        theirs = rgba(PSDImage.open(path).composite(force=True))
        ours = rgba(Image.open(png))
        Image.fromarray(theirs.astype(np.uint8), "RGBA").save(folder / f"{name}.psd-tools.png")
        alpha, colour = compare(ours, theirs)
        ok = alpha <= TOLERANCE and colour <= TOLERANCE
        if decoder and doc.mode == "rgb":
            shown = folder / f"{name}.shown.png"
            subprocess.run([decoder, str(path), str(shown)], check=True, stdout=subprocess.DEVNULL)
            white = Image.new("RGBA", (W, H), (255, 255, 255, 255))
            flat = rgba(Image.alpha_composite(white, Image.fromarray(theirs.astype(np.uint8))))
            viewer = max(compare(rgba(Image.open(shown)), flat))
            ok = ok and viewer <= TOLERANCE
            colour = max(colour, viewer)
        failed += not ok
        print(f"{'ok ' if ok else 'BAD'} {name:16} alpha {alpha:3} colour {colour:3}")
    for key, reason in KNOWN.items():
        print(f"left out: {key.decode().strip():4} ({reason})")
    print(f"{len(documents()) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
