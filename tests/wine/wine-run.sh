#!/usr/bin/env bash
# Runs a command under Wine in the project's own prefix, creating the prefix
# on first use. The prefix is $BIOSUPDATE_WINEPREFIX, by default build/wineprefix.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${BIOSUPDATE_WINEPREFIX:-$here/../../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot --init >/dev/null 2>&1 || true
    fi
    if [ ! -f "$WINEPREFIX/.crash-debugger-off" ]; then
        # A crashing program ends at once instead of hanging in
        # "winedbg --auto" (both registry views).
        for view in 32 64; do
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                /v Debugger /d '' /f /reg:$view >/dev/null 2>&1
        done
        touch "$WINEPREFIX/.crash-debugger-off"
        wineserver -w
    fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
