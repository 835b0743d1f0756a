#!/usr/bin/env bash
# Installs the Debian 12 packages Vantoro needs to build and test, skipping
# those already present. Uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential
    cmake
    clang-format
    clang
    libclang-rt-14-dev
    ninja-build
    pkg-config
    zlib1g-dev
    libdeflate-dev
    libisal-dev
    libpng-dev
    libjpeg-dev
    nettle-dev
    libgtest-dev
    libgmock-dev
    libbenchmark-dev
    libsdl2-dev
    libsndfile1-dev
    libfftw3-dev
    lame
    qt6-base-dev
    qt6-qpa-plugins
    libgl-dev
    fonts-wqy-microhei
    qt6-translations-l10n
    desktop-file-utils
    shared-mime-info
    file
    python3
    python3-pil
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
