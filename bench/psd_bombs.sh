#!/usr/bin/env bash
# Time and peak memory of vistrel-decode on the hostile PSD files (tests/psd/fixtures/
# make_hostile.py): usage bench/psd_bombs.sh [VISTREL_DECODE [FOLDER]]. Prints one row per file:
# name, size, outcome (ok=0 is a refusal), seconds, peak RSS in MB.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
decode=${1:-$here/build/tools/vistrel-decode}
work=${2:-$(mktemp -d)}
/usr/bin/python3 "$here/tests/psd/fixtures/make_hostile.py" "$work"
printf '%-24s %7s %6s %8s %9s\n' file bytes ok seconds peak_MB
for f in "$work"/bomb_*.psd "$work"/bad_layer_*.psd; do
    log=$(mktemp)
    /usr/bin/time -v "$decode" "$f" "$work/out.png" >"$log.out" 2>"$log" || true
    ok=$(grep -o 'ok=[01]' "$log.out" || echo "ok=?")
    seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$log")
    rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$log")
    printf '%-24s %7s %6s %8s %9s\n' "$(basename "$f" .psd)" "$(stat -c %s "$f")" "${ok#ok=}" \
        "$seconds" "$rss"
    rm -f "$log" "$log.out"
done
