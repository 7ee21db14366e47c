#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, when it is missing.
set -euo pipefail

packages=(
    cmake make g++ libgtest-dev googletest python3
    g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    wine wine64 xvfb xauth x11-utils imagemagick fonts-nanum locales
    clang libclang-rt-14-dev
    git osslsigncode openssl
)
# Runs the 32-bit build under Wine. Without it the 32-bit build's Wine tests
# are skipped (tests/wine/wine.sh says why), as on a kernel that runs no
# 32-bit code anyway.
optional=(wine32:i386)

missing() {
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            echo "$package"
    done
}

required_missing=($(missing "${packages[@]}"))
optional_missing=($(missing "${optional[@]}"))
((${#required_missing[@]} + ${#optional_missing[@]})) || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$@"
}
$sudo dpkg --add-architecture i386
# A mirror in the middle of a sync fails one index or another; what the other
# indexes offer may still be enough.
updated=0
for attempt in 1 2 3; do
    if $sudo apt-get update -q; then
        updated=1
        break
    fi
    echo "install-deps: apt-get update failed (attempt $attempt)" >&2
    sleep 5
done
((updated)) || echo "install-deps: going on with the package lists as they are" >&2
if ((${#required_missing[@]})); then
    echo "Installing: ${required_missing[*]}"
    install "${required_missing[@]}"
fi
if ((${#optional_missing[@]})); then
    echo "Installing: ${optional_missing[*]}"
    install "${optional_missing[@]}" ||
        echo "install-deps: ${optional_missing[*]} could not be installed;" \
            "the 32-bit build's Wine tests will be skipped" >&2
fi
