#!/usr/bin/env bash
# Installs the already built folder $1 into a temporary prefix and checks the programs, the
# desktop entry and the icons.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$1" --prefix "$prefix" >/dev/null
for program in bin/halvorn bin/halvorn-cli bin/halvorn-sim bin/halvorn-setup \
    libexec/halvorn/halvorn-cli-print; do
    [ -x "$prefix/$program" ] || fail "$program missing or not executable"
done
# The programs, their data and the component package: no test or benchmark files.
unexpected=$(cd "$prefix" && find . -type f | grep -v -E \
    '^./(bin|libexec/halvorn|share/(applications|icons/hicolor|man|doc)|include/halvorn)/' |
    grep -v -E '^./lib[^/]*/(libhalvorn-components[-a-z]*\.so\.[0-9.]+|cmake/HalvornComponents/|pkgconfig/halvorn-components|.*/designer/libhalvorn-designer\.so)' ||
    true)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"
for lib in libhalvorn-components libhalvorn-components-serial libhalvorn-components-ui; do
    soname=$(readelf -d "$prefix"/lib*/$lib.so 2>/dev/null | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ "$soname" = "$lib.so.1" ] || fail "$lib: SONAME '$soname'"
done
# The installed programs load the installed libraries, not those of the build folder.
for program in bin/halvorn; do
    resolved=$(ldd "$prefix/$program" | sed -n 's/.*libhalvorn-components.so.1 => \([^ ]*\).*/\1/p')
    case "$resolved" in
    "$prefix"/*) ;;
    *) fail "$program loads libhalvorn-components from '$resolved'" ;;
    esac
done

desktop=$prefix/share/applications/halvorn.desktop
desktop-file-validate "$desktop" || fail "desktop entry missing or not valid"
grep -qx 'Icon=halvorn' "$desktop" || fail "desktop entry names another icon"

grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/halvorn.svg" || fail "no scalable icon"
# A PNG signature, then the IHDR chunk's width and height as 32-bit big-endian numbers.
png=$(od -An -tx1 -N24 "$prefix/share/icons/hicolor/48x48/apps/halvorn.png" | tr -d ' \n' || true)
[ "$png" = 89504e470d0a1a0a0000000d494844520000003000000030 ] || fail "48 px icon: $png"
"$prefix/bin/halvorn-setup" --help | grep -q '^Usage: halvorn-setup' || fail "halvorn-setup --help"

[ "$failures" -eq 0 ] || exit 1
echo "install tree: all checks passed"
