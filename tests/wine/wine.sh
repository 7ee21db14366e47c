#!/usr/bin/env bash
# The one place that starts Wine. Every script and test of the project calls
# Wine through here, never `wine`, `wineboot` or `wineserver` directly.
#
#   wine.sh kind                 prints win32 or win64: what this machine runs
#   wine.sh env                  prints the shell lines that export the kind
#                                (BIOSUPDATE_WINE) and why (BIOSUPDATE_WINE_WHY)
#   wine.sh preset               prints the Windows build whose programs this
#                                machine runs: windows, or windows-x64 on win64
#   wine.sh prefix               makes $WINEPREFIX if it is missing or was made
#                                by the other kind, crash debugger off
#   wine.sh run PROGRAM [ARGS]   runs a Windows program (a file or a built-in
#                                such as reg) in $WINEPREFIX
#   wine.sh server [ARGS]        runs the wineserver of $WINEPREFIX
#
# The kind: win32 when the kernel runs 32-bit code (Debian's 32-bit C loader
# answers --version) and the 32-bit Wine loader does too, win64 otherwise:
# only the 64-bit loader and the 64-bit build work then. BIOSUPDATE_WINE=
# win32|win64 forces it. Top-level commands export it once
# (`eval "$(wine.sh env)"`), so the probe runs once per command and is never
# kept on disk: the next machine may be the other kind. A prefix records the
# kind that made it and is made anew by the other.
#
# The loader: a 64-bit program always runs under the 64-bit loader. On a
# win32 machine, 32-bit programs and built-ins run under Debian's `wine`; on a
# win64 machine, built-ins run under the 64-bit loader and a 32-bit program is
# refused (exit code 126).
set -euo pipefail

WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
DEBIAN_WINE=/usr/bin/wine
WINESERVER=/usr/lib/wine/wineserver
KIND_FILE=.biosupdate-wine-kind
KERNEL_PROBE=/lib32/ld-linux.so.2

machine_kind() {
    case "${BIOSUPDATE_WINE:-}" in
    win32 | win64)
        echo "$BIOSUPDATE_WINE"
        return
        ;;
    "") ;;
    *)
        echo "wine.sh: BIOSUPDATE_WINE must be win32 or win64, not '$BIOSUPDATE_WINE'" >&2
        exit 2
        ;;
    esac
    if kernel_runs_32bit && [ -x "$WINE32_LOADER" ] && "$WINE32_LOADER" --version >/dev/null 2>&1; then
        echo win32
    else
        echo win64
    fi
}

# Whether the kernel runs 32-bit code, asked of the kernel through Debian's
# 32-bit C loader (libc6-i386), not of Wine.
kernel_runs_32bit() { "$KERNEL_PROBE" --version >/dev/null 2>&1; }

# One line on why the kind is what it is.
kind_reason() {
    local error
    if [ -n "${BIOSUPDATE_WINE:-}" ]; then
        echo "BIOSUPDATE_WINE=$BIOSUPDATE_WINE is set"
    elif [ ! -x "$KERNEL_PROBE" ]; then
        echo "$KERNEL_PROBE (libc6-i386) is missing, so whether the kernel runs 32-bit code is unknown"
    elif ! error=$("$KERNEL_PROBE" --version 2>&1 >/dev/null); then
        echo "this machine's kernel runs no 32-bit code ($KERNEL_PROBE: ${error##*: })"
    elif [ ! -x "$WINE32_LOADER" ]; then
        echo "the kernel runs 32-bit code, but the 32-bit loader $WINE32_LOADER is not installed"
    elif error=$("$WINE32_LOADER" --version 2>&1 >/dev/null); then
        echo "this machine runs 32-bit code"
    else
        echo "the kernel runs 32-bit code, but the 32-bit loader fails ($WINE32_LOADER: ${error##*: })"
    fi
}

print_env() {
    local kind why
    kind=$(machine_kind)
    why=${BIOSUPDATE_WINE_WHY:-$(kind_reason)}
    printf 'export BIOSUPDATE_WINE=%q\nexport BIOSUPDATE_WINE_WHY=%q\n' "$kind" "$why"
}

# The PE machine field of a file: 14c (x86), 8664 (x64), or nothing.
pe_machine() {
    local file=$1 offset
    [ -f "$file" ] || return 0
    [ "$(head -c 2 "$file")" = MZ ] || return 0
    offset=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
    [ "$(od -An -c -j"$offset" -N4 "$file" | tr -d ' ')" = 'PE\0\0' ] || return 0
    od -An -tx2 -j$((offset + 4)) -N2 "$file" | tr -d ' '
}

# Runs a Windows program, or a built-in of Wine, under the right loader.
run_program() {
    local kind machine
    kind=$(machine_kind)
    machine=$(pe_machine "${1:-}")
    if [ "$machine" = 8664 ] || [ "$kind" = win64 ]; then
        if [ "$machine" = 14c ]; then
            echo "wine.sh: $1 is a 32-bit program, and this machine runs no 32-bit code" >&2
            exit 126
        fi
        WINELOADER=$WINE64_LOADER exec "$WINE64_LOADER" "$@"
    fi
    exec "$DEBIAN_WINE" "$@"
}

# A loader that boots prefixes: the kind's own.
boot() {
    if [ "$(machine_kind)" = win64 ]; then
        WINELOADER=$WINE64_LOADER "$WINE64_LOADER" wineboot "$@"
    else
        "$DEBIAN_WINE" wineboot "$@"
    fi
}

make_prefix() {
    : "${WINEPREFIX:?wine.sh prefix: WINEPREFIX is not set}"
    local kind
    kind=$(machine_kind)
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ -f "$WINEPREFIX/system.reg" ] && [ "$(cat "$WINEPREFIX/$KIND_FILE" 2>/dev/null)" != "$kind" ]; then
            echo "wine.sh: $WINEPREFIX was made by another kind of machine: making it anew for $kind" >&2
            "$WINESERVER" -k >/dev/null 2>&1 || true
            "$WINESERVER" -w >/dev/null 2>&1 || true
            rm -rf "$WINEPREFIX"
        fi
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            boot --init >/dev/null 2>&1 || true
            "$WINESERVER" -w
            if [ ! -f "$WINEPREFIX/system.reg" ]; then
                echo "wine.sh: wineboot did not create $WINEPREFIX ($kind)" >&2
                exit 1
            fi
            # A crashing program ends at once instead of hanging in
            # "winedbg --auto" (both registry views).
            for view in 32 64; do
                (run_program reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                    /v Debugger /d '' /f /reg:$view) >/dev/null 2>&1
            done
            "$WINESERVER" -w
            echo "$kind" >"$WINEPREFIX/$KIND_FILE"
        fi
    ) 9>"$WINEPREFIX.lock"
}

command=${1:-}
[ $# -gt 0 ] && shift
case $command in
kind) machine_kind ;;
env) print_env ;;
preset) if [ "$(machine_kind)" = win64 ]; then echo windows-x64; else echo windows; fi ;;
prefix) make_prefix ;;
run) run_program "$@" ;;
server) exec "$WINESERVER" "$@" ;;
*)
    awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0" >&2
    exit 2
    ;;
esac
