#!/usr/bin/env bash
# Makes the picture tests' files in $1 by running every script of fixtures/ in name order, each
# with the output folder as its argument.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out"
for script in "$here"/fixtures/*; do
    case "$script" in
    *.sh) bash "$script" "$out" ;;
    *.py) /usr/bin/python3 "$script" "$out" ;;
    esac
done
