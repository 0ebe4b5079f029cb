#!/usr/bin/env bash
# `make run`: starts what the build has. The windows come with a later milestone; until then the
# build holds the image engine, and this runs its test program as a quick look at what works.
set -euo pipefail
build=${1:-build}
echo "Pictorra: the windows are not built yet. Running the engine's test program instead."
exec "$build/tests/test_image" --gtest_brief=1
