#!/usr/bin/env bash
# Builds everything and runs every test this machine can run: the host unit
# tests; both Windows builds (32-bit, the released one, and 64-bit) with the
# checks that only read their files; and the tests that run Windows programs
# under Wine (label "wine"), on each build the machine can execute, one build
# after the other. A machine that runs no 32-bit code runs the 64-bit build's
# alone; the 32-bit build's are then counted as skipped.
set -uo pipefail
cd "$(dirname "$0")/.."
apt_report=$(mktemp)
BIOSUPDATE_APT_REPORT=$apt_report bash scripts/install-deps.sh || exit 1
apt_error=$(cat "$apt_report")
rm -f "$apt_report"
eval "$(tests/wine/wine.sh env)" || exit 1

# A fresh Wine prefix for every run of the suite.
rm -rf build/wineprefix build/wineprefix.lock

passed=0
failed=0
skipped=0
status=0
# run_ctest PRESET [CTEST OPTIONS...]
run_ctest() {
    local log rc summary total bad skip
    log=$(mktemp)
    ctest --preset "$@" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
    if [ -n "$summary" ]; then
        bad=$(sed -E 's/.*passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
        # ctest counts a skipped test among the passed ones.
        skip=$(grep -cE '^\s*[0-9]+ - .* \(Skipped\)$' "$log")
        passed=$((passed + total - bad - skip))
        failed=$((failed + bad))
        skipped=$((skipped + skip))
    elif ! grep -q 'No tests were found' "$log"; then
        failed=$((failed + 1))
    fi
    rm -f "$log"
    [ "$rc" -eq 0 ] || status=1
}

build() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

if build host; then run_ctest host; else status=1; failed=$((failed + 1)); fi
built=()
for preset in windows windows-x64; do
    if build "$preset"; then built+=("$preset"); else status=1; failed=$((failed + 1)); fi
done
for preset in "${built[@]}"; do
    if [ "$preset" = windows ] && [ "$BIOSUPDATE_WINE" = win64 ]; then
        run_ctest windows -LE wine
        not_run=$(ctest --preset windows -N -L wine | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
        skipped=$((skipped + ${not_run:-0}))
        not_run_note="The 32-bit programs were built and checked but not run (${not_run:-0} tests"
        not_run_note+=" skipped): $BIOSUPDATE_WINE_WHY"
        [ -z "$apt_error" ] || not_run_note+="; apt said: $apt_error"
    else
        run_ctest "$preset"
    fi
done

echo
# Last before the summary, where it cannot scroll by unseen.
[ -z "${not_run_note:-}" ] || echo "$not_run_note."
echo "$passed passed, $failed failed, $skipped skipped"
exit "$status"
