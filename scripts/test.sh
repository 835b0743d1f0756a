#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds, and runs every
# test and the README's first command; then runs the core tests once more
# under AddressSanitizer and UndefinedBehaviorSanitizer; then builds the fuzz
# targets with clang, replays their corpus and fuzzes each briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh

scripts/build.sh build
ctest --test-dir build --output-on-failure -j2
scripts/check-run.sh

scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTORO_SANITIZE=ON \
    -DVANTORO_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2

scripts/fuzz-check.sh
