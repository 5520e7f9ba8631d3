#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that it holds what a desktop
# needs: the three programs, valid menu entries, file types and icons.
#   install_tree.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cmake --install "$build" --prefix "$prefix" >/dev/null
for program in moxy quillon vorna; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program missing"
    entry="$prefix/share/applications/$program.desktop"
    [ -f "$entry" ] || fail "$entry missing"
    desktop-file-validate "$entry" || fail "$entry does not validate"
    [ -f "$prefix/share/icons/hicolor/48x48/apps/$program.png" ] || fail "48x48 icon of $program missing"
done
[ -f "$prefix/share/icons/hicolor/16x16/apps/quillon.png" ] || fail "16x16 quillon icon missing"
mime="$prefix/share/mime/packages/moxy-toolchain.xml"
for glob in '*.moxy' '*.qlnp' '*.vornaproj'; do
    grep -qF "pattern=\"$glob\"" "$mime" || fail "no file type for $glob"
done
grep -q '^MimeType=application/x-moxy;' "$prefix/share/applications/moxy.desktop" || fail "moxy does not open .moxy"
grep -q '^MimeType=text/x-quillon;' "$prefix/share/applications/quillon.desktop" || fail "quillon does not open .qlnp"
grep -q '^MimeType=text/x-vorna;' "$prefix/share/applications/vorna.desktop" || fail "vorna does not open .vornaproj"
"$prefix/bin/moxy" --version >/dev/null || fail "installed moxy does not start"
"$prefix/bin/moxy" --headless --screenshot "$prefix/shot.png" "$prefix/share/doc/moxy-toolchain/examples/demo.moxy" </dev/null >/dev/null || fail "installed moxy cannot load its window library"
echo "1 passed, 0 failed"
