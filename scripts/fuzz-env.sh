# Shared by fuzz.sh and fuzz-check.sh: the fuzz build folder, its targets,
# and a function that configures and builds them with clang.

fuzz_build_dir="${VANTORO_FUZZ_BUILD:-build-fuzz}"
fuzz_targets=(
    archive_m2_def archive_m2_def16 archive_m2_wis archive_m2_zip archive_m3_def
    archive_m3_zip archive_woool archive_wuyi pack pack_password pack_journal picture
    import_text sound_type sound_stream
)

# Builds every fuzz target and the seed writer, then writes the seeds to
# $fuzz_build_dir/seeds/<target>.
fuzz_build() {
    if [ ! -f "$fuzz_build_dir/CMakeCache.txt" ]; then
        CXX=clang++ cmake -S . -B "$fuzz_build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DVANTORO_FUZZ=ON -DVANTORO_BUILD_APP=OFF -DVANTORO_BUILD_BENCH=OFF \
            -DBUILD_TESTING=OFF "$@"
    fi
    cmake --build "$fuzz_build_dir" --target vantoro_fuzz
    rm -rf "$fuzz_build_dir/seeds"
    "$fuzz_build_dir/fuzz/vantoro-fuzz-seeds" "$fuzz_build_dir/seeds" >/dev/null
}

# A folder for the targets' scratch files, on the memory file system when
# there is one, removed when the script ends.
fuzz_scratch_files() {
    local base=/dev/shm
    [ -w "$base" ] || base="${TMPDIR:-/tmp}"
    TMPDIR="$(mktemp -d "$base/vantoro-fuzz-run-XXXXXX")"
    export TMPDIR
    trap 'rm -rf "$TMPDIR"' EXIT
}

# The options every run shares: a hang of 10 s or an input that makes the
# process hold 2 GiB is a fault; crashes are kept under crashes/<target>/.
fuzz_options() {
    local target="$1"
    mkdir -p "$fuzz_build_dir/crashes/$target"
    echo "-timeout=10 -rss_limit_mb=2048 -print_final_stats=1" \
        "-artifact_prefix=$fuzz_build_dir/crashes/$target/"
}
