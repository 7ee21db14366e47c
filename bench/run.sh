#!/usr/bin/env bash
# Measures BIOSUpdate.exe under Wine on Xvfb beside the floor program in its
# naive and lean forms, and prints the CPU of each (per round, medians, the
# ratio BIOSUpdate / lean floor), then the timeline of BIOSUpdate's last run
# against the ideal one, resident memory after 100 and 600 paints, and the
# time from the process start to the confirmation box. See bench/bench.py.
#
#   bash bench/run.sh [--window S] [--rounds N] [--also LABEL=EXE]... [--build DIR]
#
# --window: seconds measured per program (60); --rounds: rounds (3);
# --also: another BIOSUpdate.exe measured in each round, for comparisons;
# --build DIR takes the programs from an existing build of the windows
# preset instead of building build/windows (build/windows-x64 on a machine
# that runs no 32-bit code). The Wine prefix is kept in
# build/bench; the table is also written to build/bench/benchmark.md.
set -euo pipefail
cd "$(dirname "$0")/.."

build=
args=()
while [ $# -gt 0 ]; do
    case $1 in
    --build)
        build=$2
        shift 2
        ;;
    -h | --help)
        sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        args+=("$1")
        shift
        ;;
    esac
done

eval "$(tests/wine/wine.sh env)"
if [ -z "$build" ]; then
    bash scripts/install-deps.sh
    preset=$(tests/wine/wine.sh preset)
    [ "$preset" = windows ] || echo "bench: measuring the 64-bit build: $BIOSUPDATE_WINE_WHY"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target BIOSUpdate floor winflash uidriver
    build=build/$preset
fi
exec python3 bench/bench.py --work build/bench --exe "$build/BIOSUpdate.exe" \
    --floor "$build/bench/floor.exe" --uidriver "$build/tools/uidriver.exe" \
    --vendor "$build/vendor" "${args[@]}"
