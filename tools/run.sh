#!/usr/bin/env bash
# `make run`: starts what the build has. The windows come with a later milestone; until then the
# program is its headless front end, pictorra-cli, which runs the same job from a terminal.
set -euo pipefail
build=${1:-build}
echo "Pictorra: the windows are not built yet; the job runs headless through $build/pictorra-cli."
echo "Try: $build/pictorra-cli --crop 4x6 --resize ez FOLDER_OR_PICTURE"
echo
exec "$build/pictorra-cli" --help
