#!/usr/bin/env bash
# Vistrel beside gpicview, nsxiv, feh and qimgv, each launched the same way (`VIEWER FILE`) on a
# virtual screen (Xvfb, 1920x1080x24) and timed from the outside: a probe polls the screen until
# the picture's tint shows in the viewer's window (vistrel-bench-probe). In one interleaved run:
#   - the first frame of a 6000x4000 JPEG, a 1920x1080 JPEG and a 4000x3000 RGBA PNG, from the
#     process start, median of RUNS (default 7), viewers in turn within each round;
#   - the peak resident memory one second after the 6000x4000 and the 1920x1080 JPEG appeared,
#     median;
#   - the step latency in a folder of 20 different 1920x1080 JPEGs, from the next-picture key to
#     the next picture on the screen, two seconds after the previous step (median of 19 steps);
#   - the held key: the next-picture key held for 5 seconds (the X server's own repeat: 500 ms,
#     then 30 a second) over a folder of 6000x4000 JPEGs; pictures shown per second of repeat.
# Prints the table of the speed issue: each viewer, the best peer and Vistrel's ratio to it.
#   bench/first-frame.sh [RUNS]     (installs the peers and builds build/ when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
build=${VISTREL_BUILD:-build}
peers=(gpicview nsxiv feh qimgv)
viewers=(vistrel "${peers[@]}")

missing=()
for p in "${peers[@]}"; do command -v "$p" >/dev/null || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake --build "$build" --target vistrel vistrel-bench-probe >/dev/null
vistrel=$PWD/$build/src/qt/vistrel
probe=$PWD/$build/bench/vistrel-bench-probe

work=$(mktemp -d)
server=""
cleanup() {
    if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Photo-like pictures (smooth shapes and grain) in one tint, so that the probe can tell them
# from every viewer's background: red, or blue for every second picture of a folder. The held-key
# folder repeats four different pictures under 160 names (hard links): the decode costs the same,
# making each takes seconds, and a fast viewer must not reach the folder's end while the key is
# held. Made once, into the build folder.
data=$PWD/$build/benchdata/first-frame
[ -f "$data/made-2" ] || /usr/bin/python3 - "$data" <<'PY'
import os, shutil, sys
import numpy as np
from PIL import Image
out = sys.argv[1]
shutil.rmtree(out, ignore_errors=True)
os.makedirs(out)
def picture(w, h, seed, tint, alpha_border=0):
    rng = np.random.default_rng(seed)
    field = Image.fromarray((rng.random((h // 48 + 2, w // 48 + 2)) * 255).astype(np.uint8))
    v = np.asarray(field.resize((w, h), Image.BICUBIC), dtype=np.float32)
    v = np.clip(v + rng.normal(0, 10, (h, w)).astype(np.float32), 0, 255)
    strong, weak, weaker = 160 + v * 95 / 255, v * 90 / 255, v * 70 / 255
    rgb = [strong, weak, weaker] if tint == "red" else [weaker, weak, strong]
    channels = [c.astype(np.uint8) for c in rgb]
    if alpha_border:
        a = np.zeros((h, w), np.uint8)
        a[alpha_border:h - alpha_border, alpha_border:w - alpha_border] = 255
        return Image.fromarray(np.dstack(channels + [a]), "RGBA")
    return Image.fromarray(np.dstack(channels), "RGB")
picture(6000, 4000, 1, "red").save(os.path.join(out, "big.jpg"), quality=90)
picture(1920, 1080, 2, "red").save(os.path.join(out, "hd.jpg"), quality=90)
picture(4000, 3000, 3, "red", alpha_border=40).save(os.path.join(out, "rgba.png"))
os.makedirs(os.path.join(out, "folder"))
for i in range(20):
    picture(1920, 1080, 10 + i, "red" if i % 2 == 0 else "blue").save(
        os.path.join(out, "folder", "%02d.jpg" % i), quality=90)
os.makedirs(os.path.join(out, "held"))
for i in range(4):
    picture(6000, 4000, 40 + i, "red" if i % 2 == 0 else "blue").save(
        os.path.join(out, "held", "%03d.jpg" % i), quality=90)
for i in range(4, 160):
    os.link(os.path.join(out, "held", "%03d.jpg" % (i % 4)),
            os.path.join(out, "held", "%03d.jpg" % i))
open(os.path.join(out, "made-2"), "w").close()
PY

mkdir -m 700 "$work/runtime"
mkdir -p "$work/home"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" DBUS_SESSION_BUS_ADDRESS=disabled: NO_AT_BRIDGE=1 \
    XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"

median() { sort -n | awk '{a[NR]=$1} END {if (NR == 0) print "nan"; else print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
command_of() { # viewer name -> program
    if [ "$1" = vistrel ]; then echo "$vistrel"; else echo "$1"; fi
}
# The arguments and the next-picture key of each viewer for a folder starting at FIRST.
folder_args() { # viewer folder first
    case $1 in
    nsxiv) key=n; args=("$2"/*.jpg) ;;
    feh) key=Right; args=(--start-at "$2/$3" "$2") ;;
    *) key=Right; args=("$2/$3") ;;
    esac
}
value() { sed -n "s/^$1=\\([0-9.]*\\)\$/\\1/p"; }

for file in big.jpg hd.jpg rgba.png; do
    for viewer in "${viewers[@]}"; do : >"$work/$file.$viewer" && : >"$work/$file.$viewer.rss"; done
done
for ((i = 0; i < runs; i++)); do
    echo "round $((i + 1)) of $runs" >&2
    for file in big.jpg hd.jpg rgba.png; do
        for viewer in "${viewers[@]}"; do
            result=$("$probe" --tint red -- "$(command_of "$viewer")" "$data/$file" 2>/dev/null || true)
            echo "$result" | value first_ms >>"$work/$file.$viewer"
            echo "$result" | value peak_rss_kb >>"$work/$file.$viewer.rss"
        done
    done
done

declare -A step=() held=()
for viewer in "${viewers[@]}"; do
    echo "stepping: $viewer" >&2
    folder_args "$viewer" "$data/folder" 00.jpg
    result=$("$probe" --tint red --key "$key" --steps 19 --delay-ms 2000 -- \
        "$(command_of "$viewer")" "${args[@]}" 2>/dev/null || true)
    step[$viewer]=$(echo "$result" | value step_ms | median)
    folder_args "$viewer" "$data/held" 000.jpg
    result=$("$probe" --tint red --key "$key" --hold-ms 5500 -- \
        "$(command_of "$viewer")" "${args[@]}" 2>/dev/null || true)
    held[$viewer]=$(echo "$result" | value held_per_s)
    held[$viewer]=${held[$viewer]:-nan}
done

# One row: the case, each viewer's figure, the best peer, Vistrel's ratio to it and the target.
# For the held key more is better, so the best peer is the highest and the ratio is inverted
# (peer / Vistrel) to read the same way: below 1 means Vistrel is ahead.
row() { # label unit higher-is-better target value...
    local label=$1 unit=$2 higher=$3 target=$4
    shift 4
    /usr/bin/python3 - "$label" "$unit" "$higher" "$target" "$@" <<'PY'
import math, sys
label, unit, higher, target = sys.argv[1:5]
values = [float(v) if v not in ("", "nan") else math.nan for v in sys.argv[5:]]
peers = ["gpicview", "nsxiv", "feh", "qimgv"]
ours, theirs = values[0], values[1:]
known = [(v, p) for v, p in zip(theirs, peers) if not math.isnan(v)]
best = (max if higher == "1" else min)(known) if known else (math.nan, "-")
ratio = (best[0] / ours if higher == "1" else ours / best[0]) if known and ours else math.nan
fmt = "%.1f" if higher == "1" else "%.0f"
cells = " | ".join(fmt % v if not math.isnan(v) else "-" for v in values)
print(("| %s (%s) | %s | %s " + fmt + " | %.2f | %s |") % (label, unit, cells, best[1], best[0], ratio, target))
PY
}
rss_mb() { echo "$(median <"$work/$2.$1.rss") / 1024" | bc -l; }

echo
echo "one interleaved run, first frames median of $runs; ratio = Vistrel / best peer"
echo "| Case | Vistrel | gpicview | nsxiv | feh | qimgv | Best peer | Ratio | Target |"
echo "|---|---|---|---|---|---|---|---|---|"
row "6000x4000 JPEG, first frame" ms 0 "<= 0.6" $(for v in "${viewers[@]}"; do median <"$work/big.jpg.$v"; done)
row "1920x1080 JPEG, first frame" ms 0 "<= 0.8" $(for v in "${viewers[@]}"; do median <"$work/hd.jpg.$v"; done)
row "4000x3000 RGBA PNG, first frame" ms 0 "<= 0.7" $(for v in "${viewers[@]}"; do median <"$work/rgba.png.$v"; done)
row "next 1920x1080 JPEG, step" ms 0 "<= 0.5" $(for v in "${viewers[@]}"; do echo "${step[$v]}"; done)
row "peak RSS with the 6000x4000 JPEG" MB 0 "<= 0.7" $(for v in "${viewers[@]}"; do rss_mb "$v" big.jpg; done)
row "peak RSS with the 1920x1080 JPEG" MB 0 "<= 1.4" $(for v in "${viewers[@]}"; do rss_mb "$v" hd.jpg; done)
row "held Right key over 6000x4000 JPEGs" "pictures/s" 1 ">= 10/s" $(for v in "${viewers[@]}"; do echo "${held[$v]}"; done)
