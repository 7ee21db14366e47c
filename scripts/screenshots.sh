#!/usr/bin/env bash
# Takes the README's screenshots of the running program: English on a
# 1024x768 screen and Korean on 800x600, each while the stand-in flash
# utility runs, as en.png and ko.png in docs/screenshots/ (or OUTPUT_DIR), and
# each with the warning of a pulled AC adapter, as en-unplugged.png and
# ko-unplugged.png.
# Builds the Windows program first (in build/windows, build/windows-x64 on a
# machine that runs no 32-bit code, or in BUILD_DIR), then
# runs the end-to-end screen cases under Wine on a private Xvfb display; the
# cases check every screenshot as they do in the test suite.
#   scripts/screenshots.sh [OUTPUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

out=$(realpath -m "${1:-docs/screenshots}")
eval "$(tests/wine/wine.sh env)"
preset=$(tests/wine/wine.sh preset)
build=${BUILD_DIR:-build/$preset}
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j2

work=$(mktemp -d /tmp/biosupdate-screenshots.XXXXXX)
trap 'rm -rf "$work"' EXIT
BIOSUPDATE_SCREENSHOTS="$out" python3 tests/e2e/e2e.py --work "$work" \
    --exe "$build/BIOSUpdate.exe" --uidriver "$build/tools/uidriver.exe" \
    --vendor "$build/vendor" all screen_en screen_ko adapter_unplugged
ls -l "$out/en.png" "$out/ko.png" "$out/en-unplugged.png" "$out/ko-unplugged.png"
