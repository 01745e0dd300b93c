#!/usr/bin/env bash
# Counts what making the window asks of the X server, from the window host's create to the map
# and to the first frame: the replies waited for (each a round trip; the toolkit's own start
# before it is not counted), and how the frame travels (MIT-SHM or over the socket). The replies
# of the window made ahead while the picture decodes (the host's prepare) are counted apart. Runs
# the program under gdb on an Xvfb of its own.
#   bench/x-round-trips.sh [VISTREL] [PICTURE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
vistrel=${1:-$here/../build/src/qt/vistrel}
picture=${2:-}
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
if [ -z "$picture" ]; then
    picture=$work/picture.png
    /usr/bin/python3 -c "from PIL import Image; Image.new('RGB', (1920, 1080), (200, 30, 30)).save('$picture')"
fi
mkdir -m 700 "$work/runtime"
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
cat >"$work/count.py" <<'PY'
import gdb
gdb.execute("set pagination off")
gdb.execute("set breakpoint pending on")
gdb.execute("break vistrel::QtWindowHost::prepare")
gdb.execute("break vistrel::QtWindowHost::create")
gdb.execute("run")
for name in ("xcb_wait_for_reply", "xcb_wait_for_reply64", "xcb_map_window", "xcb_shm_put_image",
             "xcb_put_image"):
    gdb.execute("break " + name)
waits, mapped, ahead = 0, None, None
if gdb.selected_frame().name().endswith("prepare"):
    ahead = 0
while True:
    try:
        gdb.execute("continue", to_string=True)
    except gdb.error:
        break
    name = gdb.selected_frame().name()
    if name.endswith("QtWindowHost::create") and ahead is not None:
        ahead, waits = waits, 0
    elif name.startswith("xcb_wait_for_reply"):
        waits += 1
    elif name == "xcb_map_window" and mapped is None:
        mapped = waits
    elif name in ("xcb_shm_put_image", "xcb_put_image") and mapped is not None:
        if ahead is not None:
            print("RESULT replies waited for ahead, while the picture decodes: %d" % ahead)
        print("RESULT replies waited for before the window maps: %d" % mapped)
        print("RESULT replies waited for before the first frame: %d" % waits)
        print("RESULT first frame sent by: %s" % ("MIT-SHM" if "shm" in name else "the socket"))
        break
gdb.execute("kill")
PY
DISPLAY=":$(head -n1 "$work/display")" XDG_RUNTIME_DIR="$work/runtime" HOME="$work" \
    DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb \
    gdb -q -batch -x "$work/count.py" --args "$vistrel" "$picture" 2>/dev/null |
    sed -n 's/^RESULT //p'
