#!/usr/bin/env bash
# Time from process start until the picture is on the screen, for Vistrel and the peers
# gpicview, nsxiv and feh launched the same way (`VIEWER FILE`) on a virtual screen (Xvfb,
# 1920x1080x24), interleaved, median of RUNS (default 5): a 6000x4000 JPEG, a 1920x1080 JPEG and
# a 4000x3000 RGBA PNG. Then the peak memory after opening the big JPEG, and the step latency:
# in a folder of 20 different 1920x1080 JPEGs, from the next-picture key to the next picture on
# the screen, two seconds after the previous step (qimgv, which prefetches, joins here).
#   bench/first-frame.sh [RUNS]     (installs the peers and builds build/ when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
peers=(gpicview nsxiv feh qimgv)

missing=()
for p in "${peers[@]}"; do command -v "$p" >/dev/null || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake --build build --target vistrel vistrel-bench-probe >/dev/null
vistrel=$PWD/build/src/qt/vistrel
probe=$PWD/build/bench/vistrel-bench-probe

work=$(mktemp -d)
server=""
cleanup() {
    if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Photo-like pictures (smooth shapes and grain) in one tint, so that the probe can tell them
# from every viewer's background: red, or blue for every second picture of the folder.
/usr/bin/python3 - "$work" <<'PY'
import os, sys
import numpy as np
from PIL import Image
out = sys.argv[1]
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

first_viewers=(vistrel gpicview nsxiv feh)
for file in big.jpg hd.jpg rgba.png; do
    for viewer in "${first_viewers[@]}"; do : >"$work/$file.$viewer" && : >"$work/$file.$viewer.rss"; done
    for ((i = 0; i < runs; i++)); do
        for viewer in "${first_viewers[@]}"; do
            result=$("$probe" --tint red -- "$(command_of "$viewer")" "$work/$file" 2>/dev/null || true)
            echo "$result" | sed -n 's/^first_ms=\([0-9.]*\)$/\1/p' >>"$work/$file.$viewer"
            echo "$result" | sed -n 's/^peak_rss_kb=\([0-9]*\)$/\1/p' >>"$work/$file.$viewer.rss"
        done
    done
done

echo "first frame, median of $runs (ms); ratio = Vistrel / fastest peer"
printf '%-9s %9s %9s %9s %9s %7s\n' file vistrel gpicview nsxiv feh ratio
for file in big.jpg hd.jpg rgba.png; do
    declare -A m=()
    for viewer in "${first_viewers[@]}"; do m[$viewer]=$(median <"$work/$file.$viewer"); done
    fastest=$(printf '%s\n' "${m[gpicview]}" "${m[nsxiv]}" "${m[feh]}" | grep -v nan | sort -n | head -1)
    printf '%-9s %9s %9s %9s %9s %7.2f\n' "$file" "${m[vistrel]}" "${m[gpicview]}" "${m[nsxiv]}" \
        "${m[feh]}" "$(echo "${m[vistrel]} / $fastest" | bc -l)"
done
echo "peak memory after opening big.jpg, median (MB)"
for viewer in "${first_viewers[@]}"; do
    printf '  %-9s %6.0f\n' "$viewer" "$(echo "$(median <"$work/big.jpg.$viewer.rss") / 1024" | bc -l)"
done

echo "step latency, 19 steps two seconds apart, median (ms)"
for viewer in vistrel gpicview nsxiv feh qimgv; do
    case $viewer in
    nsxiv) key=n; args=("$work"/folder/*.jpg) ;;
    feh) key=Right; args=(--start-at "$work/folder/00.jpg" "$work/folder") ;;
    *) key=Right; args=("$work/folder/00.jpg") ;;
    esac
    result=$("$probe" --tint red --key "$key" --steps 19 --delay-ms 2000 -- \
        "$(command_of "$viewer")" "${args[@]}" 2>/dev/null || true)
    steps=$(echo "$result" | sed -n 's/^step_ms=\([0-9.]*\)$/\1/p')
    printf '  %-9s %8s ms  (%s steps measured)\n' "$viewer" "$(echo "$steps" | grep . | median)" \
        "$(echo "$steps" | grep -c . || true)"
done
