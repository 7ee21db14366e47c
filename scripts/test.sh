#!/usr/bin/env bash
# Builds both builds and runs every test: the host unit tests, the platform
# tests under Wine and the end-to-end runs of BIOSUpdate.exe under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

# A fresh Wine prefix for every run of the suite.
rm -rf build/wineprefix build/wineprefix.lock

passed=0
failed=0
status=0
run_ctest() {
    local log
    log=$(mktemp)
    ctest --preset "$1" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
    rm -f "$log"
    if [ -n "$summary" ]; then
        local bad total
        bad=$(sed -E 's/.*passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
    [ "$rc" -eq 0 ] || status=1
}

build() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

if build host; then run_ctest host; else status=1; failed=$((failed + 1)); fi
if build windows; then run_ctest windows; else status=1; failed=$((failed + 1)); fi

echo
echo "$passed passed, $failed failed"
exit "$status"
