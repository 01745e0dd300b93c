#!/usr/bin/env bash
# CPU time and peak memory of the small files that once cost seconds or gigabytes: the hostile
# PSD files (patterns, decompression bombs, damaged layers), the metafiles of
# bench/wmf_worst_cases.py, the JPEGs and the start page skin of bench/hostile_files.py. Each in vistrel-decode (the viewer's own load), the
# PSD files in vistrel-psd too, and the skin in the viewer on a virtual screen for SKIN_SECONDS.
#   bench/hostile_costs.sh [FOLDER]     (files made into FOLDER, default a temporary one)
# DECODE, PSD and VIEWER name other programs to measure (an older build, say); rows print the
# exit status (0 shown or read, 1 refused, 124 stopped after TIMEOUT seconds), user + system
# seconds and the peak resident set in MB.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
decode=${DECODE:-$here/build/tools/vistrel-decode}
psd=${PSD:-$here/build/tools/vistrel-psd}
viewer=${VIEWER:-$here/build/src/qt/vistrel}
work=${1:-$(mktemp -d)}
mkdir -p "$work/psd" "$work/wmf"
/usr/bin/python3 "$here/tests/psd/fixtures/make_hostile.py" "$work/psd"
/usr/bin/python3 "$here/bench/wmf_worst_cases.py" "$work/wmf"
/usr/bin/python3 "$here/bench/hostile_files.py" "$work"
export QT_QPA_PLATFORM=offscreen

measure() { # TOOL FILE [ARGS...]: one row
    local tool=$1 file=$2 log status=0
    shift 2
    log=$(mktemp)
    /usr/bin/time -f '%U %S %M' -o "$log" timeout "${TIMEOUT:-120}" "$@" >/dev/null 2>&1 ||
        status=$?
    read -r user system peak < <(tail -n 1 "$log")
    printf '%-40s %8s %-6s %-6s %7.2f %8.0f\n' "$(basename "$file")" "$(stat -c %s "$file")" \
        "$tool" "$status" "$(echo "$user + $system" | bc)" "$((peak / 1024))"
    rm -f "$log"
}

printf '%-40s %8s %-6s %-6s %7s %8s\n' file bytes tool result cpu_s peak_MB
for f in "$work"/psd/cost_*.psd "$work"/psd/bomb_*.psd "$work"/psd/bad_layer_*.psd \
    "$work"/psd-layer-zip-bomb.psd; do
    measure decode "$f" "$decode" "$f"
    measure psd "$f" "$psd" "$f"
done
measure psd300 "$work/psd-layer-zip-bomb.psd" "$psd" --budget 300 "$work/psd-layer-zip-bomb.psd"
for f in "$work"/wmf/zigzag-*.wmf "$work"/wmf/scatter-*.wmf "$work"/wmf/star-*.wmf \
    "$work"/wmf/hatched.wmf "$work"/wmf/dashes.wmf "$work"/jpeg-*.jpg; do
    measure decode "$f" "$decode" "$f"
done

# The skin: the viewer's start page for SKIN_SECONDS with the deflate bomb as its background.
if command -v Xvfb >/dev/null; then
    display=":$((80 + RANDOM % 19))"
    Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    server=$!
    sleep 1
    log=$(mktemp)
    DISPLAY=$display XDG_DATA_HOME=$work/skin QT_QPA_PLATFORM=xcb /usr/bin/time -f '%U %S %M' \
        -o "$log" timeout "${SKIN_SECONDS:-10}" "$viewer" >/dev/null 2>&1 || true
    read -r user system peak < <(tail -n 1 "$log")
    printf '%-40s %8s %-6s %-6s %7.2f %8.0f\n' "skin Bkgnd.png" \
        "$(stat -c %s "$work/skin/Quorbane/Vistrel/UI/Bkgnd.png")" viewer - \
        "$(echo "$user + $system" | bc)" "$((peak / 1024))"
    rm -f "$log"
    kill "$server"
    wait "$server" 2>/dev/null || true
fi
