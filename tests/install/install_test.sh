#!/usr/bin/env bash
# Installs the build folder into a scratch DESTDIR and checks the tree: the program folder, the
# links in bin/ (relative, resolving into it, runnable), the desktop entry, icons and manual.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=/usr/local
DESTDIR=$root cmake --install "$build" --prefix "$prefix" >/dev/null
top=$root$prefix

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in lib/pictorra/pictorra-cli lib/pictorra/pictorra.chm lib/pictorra/thwoop.wav \
         share/applications/pictorra.desktop share/icons/hicolor/scalable/apps/pictorra.svg \
         share/icons/hicolor/48x48/apps/pictorra.png share/icons/hicolor/256x256/apps/pictorra.png \
         share/man/man1/pictorra-cli.1; do
    [[ -f $top/$f && ! -L $top/$f ]] || fail "$f missing"
done
programs=(pictorra-cli)
[[ -e $build/pictorra ]] && programs+=(pictorra)
for p in "${programs[@]}"; do
    [[ -x $top/lib/pictorra/$p ]] || fail "lib/pictorra/$p not executable"
    [[ $(readlink "$top/bin/$p") == ../lib/pictorra/$p ]] || fail "bin/$p is not a relative link"
    [[ $(readlink -f "$top/bin/$p") == "$(readlink -f "$top/lib/pictorra/$p")" ]] ||
        fail "bin/$p does not resolve into the program folder"
done
# Nothing but the links in bin/: the data files live in the program folder.
[[ $(find "$top/bin" -not -type l -not -type d | wc -l) -eq 0 ]] || fail "files in bin/"
"$top/bin/pictorra-cli" --help >/dev/null || fail "pictorra-cli --help through the link"
grep -qx 'Exec=pictorra %f' "$top/share/applications/pictorra.desktop" || fail "desktop Exec"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$top/share/applications/pictorra.desktop" || fail "desktop entry"
fi
echo "installed tree OK"
