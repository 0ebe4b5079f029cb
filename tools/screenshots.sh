#!/usr/bin/env bash
# `make screenshots`: pictures of every window at scale 1 and 1.5, taken on a virtual screen, in
# BUILD/screenshots. The program's own settings and sound files are left alone: the run uses a
# throw-away configuration folder.
set -euo pipefail
build=${1:-build}
# A photo for the image view and a folder: the shared test photos when they are there (the photo
# is under CC0, so its pictures may go anywhere), else a picture made here.
photos="$(realpath -m "$(dirname "$0")/../../shared/photos")"
photo="$photos/seeding_by_Clements_Engelhardt.jpg"
out="$build/screenshots"
mkdir -p "$out"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
if [[ ! -d "$photos" ]]; then
    photos="$config/photos"
    mkdir -p "$photos"
    photo="$photos/sample.jpg"
    convert -size 1600x1200 gradient:skyblue-seagreen "$photo"
fi
for scale in 1 1.5; do
    XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
        xvfb-run -a -s "-screen 0 1920x1080x24" "$build/pictorra-screenshots" "$out" "$photo" "$photos"
done
echo "Look at them: ls $out"
