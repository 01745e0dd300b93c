#!/usr/bin/env bash
# The command-line interface of vistrel-decode that the team and CI rely on: the report line,
# the exit codes and the PNG it writes.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

/usr/bin/python3 - "$work" <<'PY'
import sys
from PIL import Image
out = sys.argv[1]
img = Image.new("RGBA", (7, 5))
img.putdata([(x * 30, y * 50, 200, 255 if x else 100) for y in range(5) for x in range(7)])
img.save(out + "/alpha.png")
img.convert("RGB").save(out + "/plain.bmp")
# From the opaque colours: Pillow keeps the alpha as tRNS, which would make it 32-bit.
img.convert("RGB").convert("P", palette=Image.ADAPTIVE, colors=4).save(out + "/four.png", bits=2)
PY

line=$("$tool" "$work/plain.bmp" "$work/out.png")
[ "$line" = 'ok=1 width=7 height=5 bpp=24 decoded_width=7 decoded_height=5 camera="" fitted=none profile=""' ] ||
    fail "report line: $line"
# Relative paths work too, and the written PNG holds the same pixels (RGB for 24 bits, RGBA for
# 32, palettes expanded), top row first.
(cd "$work" && "$tool" alpha.png alpha-out.png >/dev/null) || fail "relative path"
"$tool" "$work/four.png" "$work/four-out.png" | grep -q 'bpp=2 ' || fail "2-bit palette depth"
/usr/bin/python3 - "$work" <<'PY' || fail "written pixels differ"
import sys
from PIL import Image
w = sys.argv[1]
assert Image.open(w + "/out.png").mode == "RGB"
assert list(Image.open(w + "/out.png").getdata()) == list(Image.open(w + "/plain.bmp").getdata())
ours = Image.open(w + "/alpha-out.png")
assert ours.mode == "RGBA"
assert list(ours.getdata()) == list(Image.open(w + "/alpha.png").getdata())
assert list(Image.open(w + "/four-out.png").getdata()) == \
    list(Image.open(w + "/four.png").convert("RGB").getdata())
PY

# A metafile's text is drawn as the viewer draws it, also with no display to draw on.
/usr/bin/python3 - "$work/text.wmf" <<'PY'
import struct, sys
def rec(function, *params):
    body = b"".join(struct.pack("<h", p) if isinstance(p, int) else p for p in params)
    return struct.pack("<IH", 3 + len(body) // 2, function) + body
records = (rec(0x020B, 0, 0) + rec(0x020C, 60, 200)  # window origin and extent
           + rec(0x02FB, -40, 0, 0, 0, 400, 0, 0, 0, 0, b"DejaVu Sans\0")  # font 0
           + rec(0x012D, 0) + rec(0x0521, 6, b"Wmf Wm", 10, 10)  # text at (10, 10)
           + struct.pack("<IH", 3, 0))
head = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 200, 60, 96, 0)
checksum = 0
for (w,) in struct.iter_unpack("<H", head):
    checksum ^= w
meta = struct.pack("<HHHIHIH", 1, 9, 0x0300, 9 + len(records) // 2, 1, 20, 0)
open(sys.argv[1], "wb").write(head + struct.pack("<H", checksum) + meta + records)
PY
env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$tool" "$work/text.wmf" "$work/text.png" \
    >/dev/null || fail "metafile with text"
/usr/bin/python3 - "$work/text.png" <<'PY' || fail "no text drawn in the metafile"
import sys
from PIL import Image
image = Image.open(sys.argv[1]).convert("L")
assert image.size == (200, 60), image.size
assert sum(1 for v in image.getdata() if v < 100) > 100
PY

# A file that does not load: "ok=0" with the reason, and exit 1.
echo "not a picture" >"$work/broken.png"
set +e
line=$("$tool" "$work/broken.png" "$work/never.png"); code=$?
missing=$("$tool" "$work/missing.jpg")
set -e
[ "$code" = 1 ] && [ "$line" = "ok=0 reason=malformed" ] || fail "broken file: $code $line"
[ ! -e "$work/never.png" ] || fail "output written for a failed load"
[ "$missing" = "ok=0 reason=cannot-open" ] || fail "missing file: $missing"

# Bad usage and unwritable outputs: exit 2 with a message.
for args in "" "--screen 12 $work/plain.bmp" "--bogus-option zz $work/plain.bmp" \
    "--bogus $work/plain.bmp" "$work/plain.bmp $work/no/such/folder/out.png"; do
    set +e
    # shellcheck disable=SC2086
    "$tool" $args >/dev/null 2>"$work/err"; code=$?
    set -e
    [ "$code" = 2 ] && [ -s "$work/err" ] || fail "'$args' gave $code"
done
"$tool" --screen 800x600 --large-area-copies-only --no-jpeg-library "$work/plain.bmp" >/dev/null ||
    fail "options"
# Colours: a JPEG with a third party's Adobe RGB-compatible profile (icc-profiles-free) is
# written in sRGB by default and in a display's profile with --display-profile, as ImageMagick
# converts it, within 2 levels; the line names the profile.
adobe=/usr/share/color/icc/compatibleWithAdobeRGB1998.icc
/usr/bin/convert -size 48x32 gradient:red-lime -profile "$adobe" -quality 98 \
    -sampling-factor 1x1 "$work/adobe.jpg"
/usr/bin/convert "$work/adobe.jpg" -profile /usr/share/color/icc/sRGB.icc -depth 8 "$work/srgb.png"
/usr/bin/convert "$work/adobe.jpg" -profile /usr/share/color/icc/ghostscript/esrgb.icc \
    -depth 8 "$work/display.png"
"$tool" "$work/adobe.jpg" "$work/ours-srgb.png" | grep -q ' profile="Compatible with Adobe RGB (1998)"$' ||
    fail "profile description: $("$tool" "$work/adobe.jpg")"
"$tool" --display-profile /usr/share/color/icc/ghostscript/esrgb.icc "$work/adobe.jpg" \
    "$work/ours-display.png" >/dev/null || fail "--display-profile"
/usr/bin/python3 - "$work" <<'PY' || fail "converted colours differ"
import sys
from PIL import Image
w = sys.argv[1]
for ours, theirs in [("ours-srgb.png", "srgb.png"), ("ours-display.png", "display.png")]:
    a = Image.open(f"{w}/{ours}").convert("RGB").getdata()
    b = Image.open(f"{w}/{theirs}").convert("RGB").getdata()
    worst = max(abs(x - y) for p, q in zip(a, b) for x, y in zip(p, q))
    assert worst <= 2, (ours, worst)
PY

echo "vistrel-decode interface ok"
