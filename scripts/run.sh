#!/usr/bin/env bash
# Builds BIOSUpdate.exe and runs it, unchanged, under Wine on a simulated
# notebook: mains power, 80 % battery, running BIOS K38KRPA23, the stand-in
# flash utility and the image K38KRPA24 in Zarel_bios, a flash of ~10 s.
#
#   bash scripts/run.sh [--ac 0|1] [--charge N|none] [--bios VERSION] [--lang en|ko]
#                       [--seconds N]
#
# With DISPLAY set the program shows on that display and you answer it.
# Without one it runs on an Xvfb display of its own, answers Yes, saves a
# screenshot of each stage into build/run/screenshots and prints the outcome:
# the registry marker, the update folder, the work folder, the utility's
# command line and the exit code. The Wine prefix is kept in build/run.
# A machine that runs no 32-bit code runs the 64-bit build (build/windows-x64).
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
-h | --help)
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac

bash scripts/install-deps.sh
eval "$(tests/wine/wine.sh env)"
preset=$(tests/wine/wine.sh preset)
if [ "$preset" != windows ]; then
    echo "run: running the 64-bit build: $BIOSUPDATE_WINE_WHY"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target BIOSUpdate winflash uidriver

build=build/$preset
exec python3 tests/e2e/hardening_run.py --work build/run --exe "$build/BIOSUpdate.exe" \
    --uidriver "$build/tools/uidriver.exe" --vendor "$build/vendor" "$@"
