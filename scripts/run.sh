#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vantoro. Until the window
# program lands this shows the command-line inspector on the sample archive
# the build generates.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh build
./build/vantoro-cli info build/sample/sample.wil
./build/vantoro-cli list build/sample/sample.wil
