#!/usr/bin/env bash
# Fails when a C++ file of the tree drifts from the checked-in .clang-format.
# Run scripts/format.sh to apply it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
