#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vantoro on the small sample
# archive the build generates. Without a display to show a window on, it
# shows the command-line inspector's view of the sample instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh build

sample=build/sample/sample.wil
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display to show the window on; the sample archive as vantoro-cli sees it:"
    ./build/vantoro-cli info "$sample"
    ./build/vantoro-cli list "$sample"
    exit 0
fi
exec ./build/vantoro "$sample"
