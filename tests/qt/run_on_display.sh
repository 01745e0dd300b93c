#!/usr/bin/env bash
# Runs a test program on a display of its own (Xvfb, xcb platform) and a private session bus:
#   run_on_display.sh PROGRAM [ARGS...]
set -euo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$runtime/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 200); do
    [ -s "$runtime/display" ] && break
    sleep 0.05
done
[ -s "$runtime/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n1 "$runtime/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$runtime" \
    dbus-run-session -- "$@"
