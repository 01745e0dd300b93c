#!/usr/bin/env python3
"""Every frame of an animation is turned by its EXIF orientation and converted from its ICC
profile as the first is: an APNG and an animated WebP with a wide-gamut profile (Display P3, made
by lcms2) and orientation 6, composed by vistrel-decode --frames, must each equal its reference
frame (Pillow's APNG reader, ImageMagick's -coalesce for WebP) given the same profile and
orientation as a still PNG and read by the still path, which the colour tests hold to lcms2."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

make_profiles, tool = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp()
failures = []
subprocess.run([make_profiles, work], check=True)
profile = open(os.path.join(work, "display-p3.icc"), "rb").read()
# A big-endian TIFF header and one IFD entry: Orientation (0x0112), SHORT, 1, value 6 (a quarter
# turn clockwise).
exif = b"MM\0*" + struct.pack(">IHHHIHHI", 8, 1, 0x0112, 3, 1, 6, 0, 0)


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def decode(path, frames_dir=None, out=None):
    args = [tool] + (["--frames", frames_dir] if frames_dir else []) + [path] + (
        [out] if out else [])
    line = subprocess.run(args, capture_output=True, text=True, timeout=60).stdout
    return dict(field.split("=", 1) for field in line.split() if "=" in field)


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def with_metadata(png):
    """The PNG with the profile (iCCP) and the orientation (eXIf) after its header."""
    after_header = 8 + 25
    extra = chunk(b"iCCP", b"P3\0\0" + zlib.compress(profile)) + chunk(b"eXIf", exif)
    return png[:after_header] + extra + png[after_header:]


def frame_pictures():
    """Three frames no turn or mirror leaves alike: a gradient, then rectangles laid on it."""
    base = Image.new("RGB", (12, 8))
    base.putdata([(20 * x, 30 * y, 200 - 10 * x) for y in range(8) for x in range(12)])
    second = base.copy()
    second.paste((200, 40, 30), (1, 1, 6, 4))
    third = second.copy()
    third.paste((30, 180, 90), (7, 3, 12, 8))
    return [base, second, third]


def still_reference(name, image):
    """The reference frame as a still with the same metadata, read by the still path."""
    plain = os.path.join(work, name + "-plain.png")
    image.convert("RGB").save(plain)
    still = os.path.join(work, name + ".png")
    with open(still, "wb") as f:
        f.write(with_metadata(open(plain, "rb").read()))
    shown = os.path.join(work, name + "-shown.png")
    decode(still, out=shown)
    return Image.open(shown).convert("RGB")


def check(name, path, references):
    ours = os.path.join(work, name + "-frames")
    line = decode(path, ours)
    if line.get("frames") != str(len(references)):
        failures.append(f"{name}: frames={line.get('frames')}, expected {len(references)}")
        return
    for i, reference in enumerate(references):
        expected = still_reference(f"{name}-ref{i}", reference)
        mine = Image.open(os.path.join(ours, f"{i + 1:04d}.png")).convert("RGB")
        if mine.size != (8, 12) or expected.size != (8, 12):
            failures.append(f"{name}: frame {i + 1} is {mine.size}, not turned to 8x12")
        elif list(mine.getdata()) != list(expected.getdata()):
            failures.append(f"{name}: frame {i + 1} differs from the still path's")
        if i == 0 and list(mine.getdata()) == list(
                reference.transpose(Image.Transpose.ROTATE_270).getdata()):
            failures.append(f"{name}: the profile changes nothing, the test proves nothing")


frames = frame_pictures()

# APNG, written by Pillow, the metadata chunks put in after its header.
plain = os.path.join(work, "plain.png")
frames[0].save(plain, save_all=True, append_images=frames[1:], duration=[100, 200, 300], loop=0)
animated = os.path.join(work, "animated.png")
with open(animated, "wb") as f:
    f.write(with_metadata(open(plain, "rb").read()))
pillow = Image.open(plain)
references = []
for i in range(pillow.n_frames):
    pillow.seek(i)
    references.append(pillow.convert("RGB"))
check("apng", animated, references)

# Animated WebP by libwebp's tools, lossless, the profile and the EXIF data set by webpmux.
names = []
for i, frame in enumerate(frames):
    names.append(os.path.join(work, f"webp-{i}.png"))
    frame.save(names[-1])
plain = os.path.join(work, "plain.webp")
run("img2webp", "-lossless", "-d", "100", *names, "-o", plain)
with open(os.path.join(work, "exif.bin"), "wb") as f:
    f.write(exif)
with_icc = os.path.join(work, "icc.webp")
run("webpmux", "-set", "icc", os.path.join(work, "display-p3.icc"), plain, "-o", with_icc)
animated = os.path.join(work, "animated.webp")
run("webpmux", "-set", "exif", os.path.join(work, "exif.bin"), with_icc, "-o", animated)
coalesced = os.path.join(work, "coalesced")
os.mkdir(coalesced)
run("convert", plain, "-coalesce", os.path.join(coalesced, "%04d.png"))
check("webp", animated, [Image.open(os.path.join(coalesced, name)).convert("RGB")
                         for name in sorted(os.listdir(coalesced))])

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
