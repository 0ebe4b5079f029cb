#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, and only those that are missing.
# Safe to run again and again: with everything present it does nothing and needs no network.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
    libturbojpeg0-dev libjpeg62-turbo-dev libgif-dev
    libwebp-dev libtiff-dev libheif-dev libde265-0 liblcms2-dev libexiv2-dev  # the newer formats, colour, EXIF
    libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation
    qt6-base-dev libasound2-dev libchm-dev fp-utils python3  # qt6-base-dev has QtNetwork too
    libqt6gui6  # the offscreen platform plugin the window tests run on
    qt6-qpa-plugins xvfb xauth  # the xcb platform plugin and a virtual X display for real windows
    imagemagick  # `import` takes the screenshots of the windows
)
# Extra packages some make targets need (fuzzing wants clang's libFuzzer runtime).
if [[ "${1:-}" == "--fuzz" ]]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
