#!/usr/bin/env bash
# The program and its Qt shell are one program in two files: the program maps no Qt, the shell
# calls the program's own toolkit-neutral code (exported to it) and holds none of it itself, so
# that no state of those libraries (the installed platform, the debug log, the prefetcher's, the
# codec module's) exists twice.
#   check_shell_module.sh PROGRAM MODULE
set -euo pipefail
program=$1 module=$2
fail() { echo "FAIL: $*"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if readelf -d "$program" | grep -q 'NEEDED.*libQt'; then
    fail "$(basename "$program") links Qt: $(readelf -d "$program" | grep -o 'libQt[^]]*' | xargs)"
fi

# Every symbol the shell takes from the program is in the program's dynamic symbol table (or the
# module would not load). Names mangled: one word each.
nm --defined-only "$program" | awk '{print $NF}' | sort -u >"$scratch/program"
nm -D --defined-only "$program" | awk '{print $NF}' | sort -u >"$scratch/exported"
nm -D --undefined-only "$module" | awk '{print $NF}' | sed 's/@.*//' | sort -u >"$scratch/wanted"
missing=$(comm -12 "$scratch/wanted" "$scratch/program" | comm -23 - "$scratch/exported" |
    c++filt | head -20)
[ -z "$missing" ] || fail "the shell uses code of the program that it does not export: $missing"

# The shell defines none of the program's code strongly: a neutral library linked into it. (Names
# of the linker's own, _end and the like, left out.)
strong() { nm --defined-only "$1" | awk '$2 ~ /^[TDBR]$/ {print $NF}' | grep -v '^_[^Z]' | sort -u; }
strong "$program" >"$scratch/strong"
strong "$module" >"$scratch/module_strong"
copied=$(comm -12 "$scratch/strong" "$scratch/module_strong" | c++filt | head -20)
[ -z "$copied" ] || fail "the shell holds copies of the program's code: $copied"
# Data that both define (an inline variable of a header, a function's static) is the program's
# only when the shell's copy is global, so that the program's interposes it; a local copy is a
# second state.
nm --defined-only "$module" | awk '$2 ~ /^[bdruv]$/ {print $NF}' | sort -u >"$scratch/module_local"
twice=$(comm -12 "$scratch/program" "$scratch/module_local" | grep -v '^_[^Z]' |
    c++filt | grep 'vistrel::' | head -20 || true)
[ -z "$twice" ] || fail "data of the program that the shell keeps a second copy of: $twice"
echo "shell module ok"
