#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, when it is missing.
#
# The 32-bit Wine (wine32:i386) runs the released 32-bit build's Wine tests;
# it is installed where the kernel runs 32-bit code. When the ordinary install
# fails (Debian's security mirror in the middle of a sync leaves apt without
# its i386 index, so the amd64 packages it updated have no i386 twins of the
# same version), it is installed from the point release for both
# architectures, with the Multi-Arch: same packages it shares with amd64 held
# at the version both have. BIOSUPDATE_APT_FALLBACK=1 forces that way.
# BIOSUPDATE_APT_REPORT=FILE receives apt's error when it still fails.
set -euo pipefail

packages=(
    cmake make g++ libgtest-dev googletest python3
    g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    wine wine64 xvfb xauth x11-utils imagemagick fonts-nanum locales
    clang libclang-rt-14-dev
    git osslsigncode openssl
    # An amd64 package: its loader tells whether the kernel runs 32-bit code.
    libc6-i386
)
wine32=wine32:i386
export LC_ALL=C

missing() {
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            echo "$package"
    done
}

kernel_runs_32bit() { /lib32/ld-linux.so.2 --version >/dev/null 2>&1; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -q "$@"; }
install() { apt_get install -y --no-install-recommends "$@"; }

updated=0
update() {
    ((updated)) && return
    updated=1
    $sudo dpkg --add-architecture i386
    # A mirror in the middle of a sync fails one index or another; what the
    # other indexes offer may still be enough.
    for attempt in 1 2 3; do
        apt_get update && return
        echo "install-deps: apt-get update failed (attempt $attempt)" >&2
        sleep 5
    done
    echo "install-deps: going on with the package lists as they are" >&2
}

required_missing=($(missing "${packages[@]}"))
if ((${#required_missing[@]})); then
    update
    echo "Installing: ${required_missing[*]}"
    install "${required_missing[@]}"
fi

kernel_runs_32bit || exit 0
[ -z "$(missing "$wine32")" ] && [ "${BIOSUPDATE_APT_FALLBACK:-0}" != 1 ] && exit 0
update

# The point release: Debian's own suite, without its updates.
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")

# "name version installed" of each Multi-Arch: same package that the 32-bit
# Wine needs for i386 and that amd64 has at another version than the point
# release's.
packages_to_match() {
    local needed
    needed=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances "$wine32" |
        sed -nE 's/^([a-z0-9][a-z0-9+.-]*):i386$/\1/p' | sort -u)
    [ -n "$needed" ] || return 0
    # One record per package: "name arch multi-arch", as the point release has it.
    apt-cache -t "$suite" policy $(sed 's/$/:i386/' <<<"$needed") |
        awk '/^[^ ].*:$/ { sub(/:i386:$/, ""); name = $0 } /^  Candidate:/ { print name, $2 }' |
        while read -r name version; do
            [ "$version" != "(none)" ] || continue
            amd64=$(dpkg-query -W -f='${Status} ${Version}' "$name:amd64" 2>/dev/null |
                sed -nE 's/^install ok installed //p') || true
            [ -n "$amd64" ] && [ "$amd64" != "$version" ] || continue
            [[ $'\n'$(apt-cache show "$name:i386=$version" 2>/dev/null)$'\n' == \
                *$'\nMulti-Arch: same\n'* ]] || continue
            echo "$name $version $amd64"
        done
}

fail() {
    echo "install-deps: $wine32 could not be installed: $1;" \
        "the 32-bit build's Wine tests will be skipped" >&2
    [ -z "${BIOSUPDATE_APT_REPORT:-}" ] || echo "$1" >"$BIOSUPDATE_APT_REPORT"
    exit 0
}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if [ "${BIOSUPDATE_APT_FALLBACK:-0}" != 1 ]; then
    echo "Installing: $wine32"
    install "$wine32" 2>&1 | tee "$log" && exit 0
fi

echo "install-deps: installing $wine32 from $suite for both architectures"
pins=()
while read -r name version amd64; do
    [ -n "$name" ] || continue
    if [ "$name" = libc6 ] && dpkg --compare-versions "$version" lt "$amd64"; then
        fail "it needs libc6 $version, and libc6 $amd64 is installed (never downgraded)"
    fi
    echo "install-deps: $name goes from $amd64 to $suite's $version on amd64 and i386"
    pins+=("$name:amd64=$version" "$name:i386=$version")
done < <(packages_to_match)
if install -t "$suite" --allow-downgrades "$wine32" "${pins[@]}" 2>&1 | tee "$log"; then
    exit 0
fi
fail "$(grep -E '^E: ' "$log" | tail -n 1)"
