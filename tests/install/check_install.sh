#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: every file a desktop program is expected to bring is
# there, the desktop entry, the AppStream metadata and the manual pages pass the tools that read
# them, and the programs run from where they were installed.
#   check_install.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2 version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/vistrel bin/vistrel-decode bin/vistrel-psd \
    share/man/man1/vistrel.1.gz share/man/man1/vistrel-decode.1.gz share/man/man1/vistrel-psd.1.gz \
    share/applications/vistrel.desktop share/icons/hicolor/256x256/apps/vistrel.png \
    share/metainfo/com.quorbane.Vistrel.metainfo.xml share/vistrel/vistrel-guide.html \
    share/vistrel/UI/Bkgnd.png share/vistrel/UI/BtnHelp.png share/vistrel/UI/BtnClose.png \
    share/vistrel/UI/BtnLink.png; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done

desktop-file-validate "$prefix/share/applications/vistrel.desktop" || fail "desktop entry"
# The tree as a software centre reads it: the metadata, and the desktop entry it launches.
appstreamcli validate-tree --no-net "$prefix" || fail "AppStream metadata"
for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
# Every key of the README's table is in the viewer's page.
zcat "$prefix/share/man/man1/vistrel.1.gz" | grep -q '^Ctrl+V$' || fail "the keys are not listed"

[ "$("$prefix/bin/vistrel" --version)" = "vistrel $version" ] || fail "vistrel --version"
# The viewer loads its Qt shell from lib/vistrel/: a display it cannot reach is Qt's to report,
# and only the shell maps Qt. Without the shell, or with a broken one, the program says why and
# fails at once.
ulimit -c 0
shell=$(find "$prefix" -name vistrel-shell.so)
[ -n "$shell" ] || fail "the shell module is not installed"
said() {
    set +e
    DISPLAY=:none QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled: timeout 60 \
        "$prefix/bin/vistrel" --new-window "$source/res/sample.png" 2>&1 >/dev/null
    echo "exit $?"
    set -e
}
output=$(said)
grep -q 'platform plugin' <<<"$output" || fail "the installed vistrel did not reach Qt: $output"
cp "$shell" "$prefix/shell.so"
printf 'not a library' >"$shell"
output=$(said)
grep -q "cannot be loaded: $shell: .*\(ELF\|too short\)" <<<"$output" && grep -q '^exit 1$' <<<"$output" ||
    fail "a broken shell module: $output"
rm "$shell"
output=$(said)
grep -q "cannot be loaded: .*vistrel-shell.so: not found" <<<"$output" &&
    grep -q '^exit 1$' <<<"$output" || fail "no shell module: $output"
[ "$("$prefix/bin/vistrel" --version)" = "vistrel $version" ] || fail "--version needs the shell"
mv "$prefix/shell.so" "$shell"
QT_QPA_PLATFORM=offscreen "$prefix/bin/vistrel-decode" "$source/res/sample.png" | grep -q '^ok=1 ' ||
    fail "the installed vistrel-decode does not load the sample"
# The codec module where the build has the modern formats: installed, and found by the installed
# programs for a WebP file.
if [ -n "$(find "$build" -name vistrel-codecs.so)" ]; then
    module=$(find "$prefix" -name vistrel-codecs.so)
    [ -n "$module" ] || fail "the codec module is not installed"
    webp=$build/testdata/picture/modern/lossy-alpha.webp
    [ ! -e "$webp" ] || QT_QPA_PLATFORM=offscreen "$prefix/bin/vistrel-decode" "$webp" |
        grep -q '^ok=1 ' || fail "the installed vistrel-decode does not load a WebP file"
fi
set +e
"$prefix/bin/vistrel-psd" >/dev/null 2>&1
code=$?
set -e
[ "$code" = 2 ] || fail "vistrel-psd without a file gave $code"
echo "installed files ok"
