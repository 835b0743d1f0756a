#!/usr/bin/env bash
# Fuzzes one target for a number of seconds (builds first if needed):
#   scripts/fuzz.sh TARGET SECONDS
# The corpus it grows is kept in build-fuzz/corpus/TARGET between runs; it
# starts from the generated seeds and the checked-in fuzz/corpus/TARGET.
# A crash is written to build-fuzz/crashes/TARGET/: minimise it with
#   build-fuzz/fuzz/fuzz_TARGET -minimize_crash=1 -runs=10000 CRASH
# and check the result into fuzz/corpus/TARGET/ with the fix.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/fuzz-env.sh

if [ $# -ne 2 ] || [[ ! " ${fuzz_targets[*]} " == *" $1 "* ]]; then
    echo "usage: scripts/fuzz.sh TARGET SECONDS" >&2
    echo "targets: ${fuzz_targets[*]}" >&2
    exit 2
fi
target="$1"
seconds="$2"

fuzz_build
corpus="$fuzz_build_dir/corpus/$target"
mkdir -p "$corpus" "fuzz/corpus/$target"
fuzz_scratch_files
# shellcheck disable=SC2046
"$fuzz_build_dir/fuzz/fuzz_$target" $(fuzz_options "$target") \
    -max_total_time="$seconds" "$corpus" "$fuzz_build_dir/seeds/$target" "fuzz/corpus/$target"
