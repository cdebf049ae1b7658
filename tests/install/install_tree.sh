#!/usr/bin/env bash
# Installs the build folder given as $1 into a temporary prefix (it must be built already;
# nothing is rebuilt) and checks the programs, the desktop entry and the icons.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

for program in halvorn halvorn-cli halvorn-sim halvorn-setup; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program missing or not executable"
done
[ -x "$prefix/libexec/halvorn/halvorn-cli-print" ] || fail "libexec/halvorn/halvorn-cli-print missing"
# Only the programs and their data: no test, benchmark, library or header files.
unexpected=$(cd "$prefix" && find . -type f | grep -v -e '^./bin/' -e '^./libexec/halvorn/' \
    -e '^./share/applications/' -e '^./share/icons/hicolor/' -e '^./share/man/' \
    -e '^./share/doc/' || true)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

desktop=$prefix/share/applications/halvorn.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
    grep -qx 'Icon=halvorn' "$desktop" || fail "desktop entry names another icon"
    grep -q '^Categories=.*Science' "$desktop" || fail "desktop entry is not under Science"
else
    fail "share/applications/halvorn.desktop missing"
fi

svg=$prefix/share/icons/hicolor/scalable/apps/halvorn.svg
png=$prefix/share/icons/hicolor/48x48/apps/halvorn.png
grep -q '<svg' "$svg" 2>/dev/null || fail "scalable icon missing or not SVG"
# A PNG signature, then the IHDR chunk's width and height as 32-bit big-endian numbers.
if [ -f "$png" ]; then
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    size=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //')
    [ "$signature" = 89504e470d0a1a0a ] || fail "48 px icon is not a PNG"
    [ "$size" = "0 0 0 48 0 0 0 48" ] || fail "48 px icon is $size"
else
    fail "48x48 icon missing"
fi

# The installed programs run from their new place.
"$prefix/bin/halvorn-setup" --help | grep -q '^Usage: halvorn-setup' || fail "halvorn-setup --help"
"$prefix/bin/halvorn-sim" --help | grep -q '^Usage: halvorn-sim' || fail "halvorn-sim --help"

[ "$failures" -eq 0 ] || exit 1
echo "install tree: all checks passed"
