#!/usr/bin/env bash
# `make run`: starts the program from the build folder. Without a display it says what to do
# instead of failing inside Qt.
set -euo pipefail
build=${1:-build}
shift || true
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Pictorra needs a graphical session (no DISPLAY or WAYLAND_DISPLAY is set)." >&2
    echo "From a terminal, $build/pictorra-cli runs the same job: $build/pictorra-cli --help" >&2
    echo "To look at the windows without a screen: make screenshots" >&2
    exit 1
fi
exec "$build/pictorra" "$@"
