#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server on a free display
# number, and stops that server afterwards.
set -uo pipefail
numberFile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -f "$numberFile"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -s "$numberFile" ] && break
    sleep 0.1
done
if [ ! -s "$numberFile" ]; then
    echo "with-xvfb.sh: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$(head -n 1 "$numberFile")"
"$@"
