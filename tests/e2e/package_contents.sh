#!/usr/bin/env bash
# Builds the Debian package with cpack from the build folder and checks what it installs:
# the three programs, their manual pages, the references and examples, the menu entries.
#   package_contents.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
package=$(ls "$work"/moxy-toolchain_*.deb 2>/dev/null | head -n1)
[ -n "$package" ] || fail "no moxy-toolchain .deb in $(ls "$work")"
dpkg-deb --field "$package" Package | grep -qx moxy-toolchain || fail "package name"
dpkg-deb --contents "$package" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
expect() { grep -qx "$1" "$work/files" || fail "$1 is not in the package"; }
for program in moxy quillon vorna; do
    expect "/usr/bin/$program"
    expect "/usr/share/man/man1/$program.1"
    expect "/usr/share/doc/moxy-toolchain/$program.md"
    expect "/usr/share/applications/$program.desktop"
done
for example in hello.qlnp game.qlnp countdown.vornaproj demo.moxy ball.png; do
    expect "/usr/share/doc/moxy-toolchain/examples/$example"
done
expect /usr/share/doc/moxy-toolchain/README.md
expect /usr/share/mime/packages/moxy-toolchain.xml
if grep -v '^/usr/' "$work/files" | grep -v '^/$' | grep -q .; then fail "files outside /usr: $(grep -v '^/usr/' "$work/files")"; fi
# The manual pages come from the programs' own --help.
dpkg-deb -x "$package" "$work/root"
grep -q 'Compile SRC without a window' "$work/root/usr/share/man/man1/quillon.1" || fail "quillon.1 lacks --compile"
grep -q 'headless' "$work/root/usr/share/man/man1/moxy.1" || fail "moxy.1 lacks --headless"
for program in moxy quillon vorna; do
    "$work/root/usr/bin/$program" --version >/dev/null || fail "the packaged $program does not start"
done
"$work/root/usr/bin/moxy" --headless --screenshot "$work/shot.png" "$work/root/usr/share/doc/moxy-toolchain/examples/demo.moxy" </dev/null >/dev/null || fail "the packaged moxy cannot load its window library"
echo "1 passed, 0 failed"
