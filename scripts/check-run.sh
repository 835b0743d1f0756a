#!/usr/bin/env bash
# Checks the README's first command as a new user meets it: run.sh without a
# display prints the sample's listing and succeeds; with a display it starts
# the window program, which is still running after a few seconds; and every
# build path the README or run.sh names exists after the build.
set -euo pipefail
cd "$(dirname "$0")/.."

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

listing=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM scripts/run.sh) ||
    fail "scripts/run.sh without a display exited with $?"
# The listing's first entry: "0 image ..." after the info lines.
grep -q '^0 ' <<<"$listing" || fail "scripts/run.sh without a display printed no listing"

# With a display the script ends in the window program, which runs until it
# is closed; timeout's 124 means it was still running.
status=0
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy timeout 8 scripts/run.sh >/dev/null 2>&1 ||
    status=$?
[ "$status" -eq 124 ] || fail "scripts/run.sh with a display ended with $status instead of running"

# Paths under build/ that the README and run.sh name. The Debian package is
# made by cpack on request, not by the build.
paths=$(grep -ohE '(\./)?build/[A-Za-z0-9_./-]+' README.md scripts/run.sh | sed 's|^\./||; s|[.)]*$||' |
    grep -v '\.deb$' | sort -u)
for path in $paths; do
    [ -e "$path" ] || fail "$path is named by the README or run.sh but the build made no such file"
done

[ "$failures" -eq 0 ] || exit 1
echo "The README's first command works; every build path it names exists."
