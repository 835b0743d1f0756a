#!/usr/bin/env bash
# The test command's fuzz step: builds the fuzz targets with clang, replays
# every checked-in corpus file and every generated seed under AddressSanitizer
# and UndefinedBehaviorSanitizer, then fuzzes each target briefly
# (VANTORO_FUZZ_SECONDS each, default 12; 0 replays only) from a fresh corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/fuzz-env.sh

seconds="${VANTORO_FUZZ_SECONDS:-12}"
fuzz_build

fuzz_scratch_files
scratch="$TMPDIR"
for target in "${fuzz_targets[@]}"; do
    fuzzer="$fuzz_build_dir/fuzz/fuzz_$target"
    inputs=("$fuzz_build_dir/seeds/$target")
    [ -d "fuzz/corpus/$target" ] && inputs+=("fuzz/corpus/$target")
    log="$scratch/$target.log"
    mkdir -p "$scratch/$target"
    # libFuzzer reads a time limit of 0 as none at all.
    # shellcheck disable=SC2046
    if ! "$fuzzer" $(fuzz_options "$target") -runs=0 "${inputs[@]}" >"$log" 2>&1 ||
        { [ "$seconds" -gt 0 ] && ! "$fuzzer" $(fuzz_options "$target") \
            -max_total_time="$seconds" "$scratch/$target" "${inputs[@]}" >>"$log" 2>&1; }; then
        cat "$log" >&2
        echo "fuzz: $target failed; the input is in $fuzz_build_dir/crashes/$target/" >&2
        exit 1
    fi
    echo "fuzz: $target ok, $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" |
        tail -1 | grep -o '[0-9]*$') runs"
done
