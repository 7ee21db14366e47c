#!/usr/bin/env bash
# Builds BIOSUpdate.exe with the windows preset from two copies of the source
# tree, in folders of different names and lengths and with different time
# zones, and checks that both give the same bytes.
#
#   reproducible.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {
    local tree=$1 zone=$2
    mkdir -p "$tree"
    # The tracked files and new ones not ignored, as they are in the tree.
    git -C "$root" ls-files -z --cached --others --exclude-standard |
        tar -C "$root" --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -C "$tree" -xf -
    if ! (cd "$tree" && export TZ=$zone && cmake --preset windows &&
        cmake --build --preset windows --target BIOSUpdate) >"$tree.log" 2>&1; then
        tail -30 "$tree.log"
        echo "FAIL: the build in $tree failed"
        exit 1
    fi
}

git -C "$root" rev-parse --git-dir >/dev/null 2>&1 || { echo "FAIL: $root is no git work tree"; exit 1; }
first="$work/a"
second="$work/second-copy-of-the-sources"
build "$first" UTC
build "$second" Asia/Seoul
sums=()
for tree in "$first" "$second"; do
    sum=$(sha256sum "$tree/build/windows/BIOSUpdate.exe" | cut -d' ' -f1)
    echo "$sum  $tree/build/windows/BIOSUpdate.exe"
    sums+=("$sum")
done
if [ "${sums[0]}" != "${sums[1]}" ]; then
    echo "FAIL: the two builds differ in $(cmp -l "$first/build/windows/BIOSUpdate.exe" \
        "$second/build/windows/BIOSUpdate.exe" | wc -l) bytes, first at:"
    cmp -l "$first/build/windows/BIOSUpdate.exe" "$second/build/windows/BIOSUpdate.exe" | head -5
    exit 1
fi
echo "the two builds are identical"
