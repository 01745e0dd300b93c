#!/usr/bin/env bash
# Makes the picture tests' files in $1 by running every script of fixtures/ in name order, each
# with the output folder as its argument. VISTREL_MODERN_FORMATS=OFF (a build without WebP, HEIF,
# AVIF and JPEG XL) leaves out the files of those formats.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out"
for script in "$here"/fixtures/*; do
    if [ "${VISTREL_MODERN_FORMATS:-ON}" = OFF ] && [[ $script == *-modern.* ]]; then continue; fi
    case "$script" in
    *.sh) bash "$script" "$out" ;;
    *.py) /usr/bin/python3 "$script" "$out" ;;
    esac
done
