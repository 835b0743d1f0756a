#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop
# needs there: both programs, a valid menu entry, the icon in every hicolor
# size, and archive types that the MIME database compiles and matches.
# Usage: install_layout_test.sh BUILD-DIR WORK-DIR
set -euo pipefail

build_dir=$1
work_dir=$2
rm -rf "$work_dir"
mkdir -p "$work_dir"
destdir="$work_dir/root"
DESTDIR="$destdir" cmake --install "$build_dir" --prefix /usr >/dev/null
usr="$destdir/usr"

failures=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if ! "$@"; then
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}

for program in vantoro vantoro-cli; do
    check "$program is installed and executable" test -x "$usr/bin/$program"
done
check "vantoro-cli runs from where it is installed" "$usr/bin/vantoro-cli" --help >/dev/null

desktop="$usr/share/applications/vantoro.desktop"
check "the menu entry passes desktop-file-validate" desktop-file-validate "$desktop"
check "the menu entry has an English name" grep -q '^Name=' "$desktop"
check "the menu entry has a Chinese name" grep -q '^Name\[zh_CN\]=' "$desktop"

for size in 16 22 24 32 48 64 128 256; do
    icon="$usr/share/icons/hicolor/${size}x${size}/apps/vantoro.png"
    check "icon ${size}x${size}" bash -c "file -b '$icon' | grep -q 'PNG image data, $size x $size'"
done

# The MIME database compiles the description; every type the menu entry
# claims exists, and every archive extension (any letter case) finds its type.
mime="$work_dir/mime"
mkdir -p "$mime/packages"
cp "$usr/share/mime/packages/vantoro.xml" "$mime/packages/"
check "the MIME description compiles" update-mime-database "$mime"
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
    check "the MIME database knows $type" test -f "$mime/${type}.xml"
done
for extension in wil wix wzl wzx miz mix wis sgl 521g pak; do
    check "*.$extension has a type" grep -qi "^50:application/x-vantoro-[^:]*:\*\.$extension$" \
        "$mime/globs2"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures install layout checks failed" >&2
    exit 1
fi
echo "install layout: all checks passed"
