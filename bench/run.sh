#!/usr/bin/env bash
# Measures one run of BIOSUpdate.exe under Wine on Xvfb and prints a table:
# the run's timeline against the ideal one, the CPU use while the flash
# utility runs, resident memory after 100 and 600 paints, and the time from
# the process start to the confirmation box. See bench/bench.py for how.
#
#   bash bench/run.sh [--flash-seconds N] [--build DIR]
#
# --build DIR takes BIOSUpdate.exe and the tools from an existing build of
# the windows preset instead of building build/windows. The Wine prefix is
# kept in build/bench; the table is also written to build/bench/benchmark.md.
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
        sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        args+=("$1")
        shift
        ;;
    esac
done

if [ -z "$build" ]; then
    bash scripts/install-deps.sh
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target BIOSUpdate winflash uidriver
    build=build/windows
fi
exec python3 bench/bench.py --work build/bench --exe "$build/BIOSUpdate.exe" \
    --uidriver "$build/tools/uidriver.exe" --winflash "$build/tools/winflash.exe" "${args[@]}"
