#!/usr/bin/env bash
# Installs the build folder into a scratch DESTDIR: files in the program folder, only relative
# links in bin/ that resolve into it and run, a valid desktop entry.
set -euo pipefail
root=$(mktemp -d) && trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$1" --prefix /usr/local >/dev/null
cd "$root/usr/local"
ls lib/pictorra/{pictorra-cli,pictorra.chm,thwoop.wav} share/man/man1/pictorra-cli.1 \
    share/icons/hicolor/{scalable/apps/pictorra.svg,48x48/apps/pictorra.png} >/dev/null
for link in bin/*; do
    [[ $(readlink "$link") == "../lib/pictorra/${link#bin/}" && -x $link ]]
done
[[ -L bin/pictorra-cli ]]
bin/pictorra-cli --help >/dev/null
! command -v desktop-file-validate >/dev/null || desktop-file-validate share/applications/pictorra.desktop
