#!/usr/bin/env bash
# `make screenshots`: pictures of every window at scale 1 and 1.5, taken on a virtual screen, in
# BUILD/screenshots. The program's own settings and sound files are left alone: the run uses a
# throw-away configuration folder.
set -euo pipefail
build=${1:-build}
out="$build/screenshots"
mkdir -p "$out"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
for scale in 1 1.5; do
    XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
        xvfb-run -a -s "-screen 0 1920x1080x24" "$build/pictorra-screenshots" "$out"
done
echo "Look at them: ls $out"
