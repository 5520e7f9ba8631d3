#!/usr/bin/env bash
# The Debian package cpack builds from BUILD_DIR installs, under /usr only, the three programs,
# their manual pages, references, examples, valid menu entries, file types and icons.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
(cd "$1" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
package=$(ls "$work"/moxy-toolchain_*.deb 2>/dev/null | head -n1)
[ -n "$package" ] || fail "no moxy-toolchain .deb in $(ls "$work")"
dpkg-deb --contents "$package" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
if grep -v '^/usr/' "$work/files" | grep -v '^/$' | grep -q .; then fail "files outside /usr: $(grep -v '^/usr/' "$work/files")"; fi
dpkg-deb -x "$package" "$work/root"
share=$work/root/usr/share
for file in bin/{moxy,quillon,vorna} share/man/man1/{moxy,quillon,vorna}.1 share/doc/moxy-toolchain/{README,moxy,quillon,vorna}.md \
    share/doc/moxy-toolchain/examples/{hello.qlnp,game.qlnp,countdown.vornaproj,demo.moxy,ball.png} \
    share/icons/hicolor/{16x16/apps/quillon,48x48/apps/{moxy,quillon,vorna}}.png; do
    [ -s "$work/root/usr/$file" ] || fail "/usr/$file is not in the package"
done
for entry in moxy:application/x-moxy:moxy quillon:text/x-quillon:qlnp vorna:text/x-vorna:vornaproj; do
    IFS=: read -r program type glob <<<"$entry"
    desktop-file-validate "$share/applications/$program.desktop" || fail "$program.desktop does not validate"
    grep -q "^MimeType=$type;" "$share/applications/$program.desktop" || fail "$program does not open .$glob"
    grep -qF "pattern=\"*.$glob\"" "$share/mime/packages/moxy-toolchain.xml" || fail "no file type for *.$glob"
    "$work/root/usr/bin/$program" --version >/dev/null || fail "the packaged $program does not start"
done
# The manual pages come from the programs' own --help.
grep -q 'Compile SRC without a window' "$share/man/man1/quillon.1" || fail "quillon.1 lacks --compile"
grep -q 'headless' "$share/man/man1/moxy.1" || fail "moxy.1 lacks --headless"
"$work/root/usr/bin/moxy" --headless --screenshot "$work/shot.png" "$work/root/usr/share/doc/moxy-toolchain/examples/demo.moxy" </dev/null >/dev/null || fail "the packaged moxy cannot load its window library"
echo "1 passed, 0 failed"
