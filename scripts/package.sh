#!/usr/bin/env bash
# Builds the ZIP that support staff hand to a user, named after the program's
# file version: BIOSUpdate.exe, the vendor's files in Zarel_bios (the flash
# utility winflash.exe, the image K38KRPA24 and any others, in their
# subfolders too), a README and SHA256SUMS.
#
#   package.sh --vendor DIR [--cert CERT.pem --key KEY.pem [--ca CA.pem] [--timestamp URL]] [--out DIR]
#
# DIR holds the vendor's winflash.exe and K38KRPA24; a name the program could
# not read, Thumbs.db, desktop.ini or a path over 120 characters
# (cmake/TrustedFiles.cmake says why) writes no ZIP. The program is
# built in build/package to trust exactly DIR's files (BIOSUPDATE_VENDOR_DIR). With
# --cert and --key the program in the ZIP is signed and verified (see sign.sh);
# the build's own BIOSUpdate.exe stays unsigned. The ZIP goes into --out, by
# default build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/version-block.sh"

usage() {
    sed -n 's/^#   //p' "$0" >&2
    exit 2
}
error() {
    echo "package.sh: $*" >&2
    exit 1
}
vendor="" cert="" key="" out="$root/build" sign_options=()
while (($#)); do
    case "$1" in
        --vendor | --cert | --key | --ca | --timestamp | --out) (($# >= 2)) || usage ;;&
        --vendor) vendor=$2 ;;
        --cert) cert=$2 ;;
        --key) key=$2 ;;
        --ca | --timestamp) sign_options+=("$1" "$2") ;;
        --out) out=$2 ;;
        *) usage ;;
    esac
    shift 2
done
[ -n "$vendor" ] || usage
if [ -n "$cert" ] && [ -z "$key" ] || [ -z "$cert" ] && [ -n "$key" ]; then
    error "--cert and --key go together"
fi
((${#sign_options[@]} == 0)) || [ -n "$cert" ] || error "--ca and --timestamp need --cert and --key"

# The vendor's files, by their exact names (the program looks for no other),
# with names the program can read: the build's own check, without a build.
[ -d "$vendor" ] || error "the vendor folder $vendor does not exist"
vendor=$(cd "$vendor" && pwd)
if ! problem=$(cmake -DVENDOR_DIR="$vendor" -P "$root/cmake/TrustedFiles.cmake" 2>&1); then
    error "$(head -n 1 <<<"$problem"); no ZIP written"
fi

version=$(file_version)
[ -n "$version" ] || error "no FILEVERSION in $VERSION_BLOCK_RC"

cd "$root"
build=build/package
cmake --preset windows -B "$build" -DBIOSUPDATE_VENDOR_DIR="$vendor" >/dev/null
cmake --build "$build" --target BIOSUpdate -j 2 >/dev/null

# Exactly the files the program trusts, checked against its list as copied.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/Zarel_bios"
cp "$build/BIOSUpdate.exe" "$stage/"
names=() sums=""
while IFS= read -r line; do
    name=${line#* * }
    name=${name//\\//}  # a subfolder's file, as a ZIP and Linux name it
    names+=("Zarel_bios/$name")
    sums+="${line%% *}  $name"$'\n'
    mkdir -p "$(dirname "$stage/Zarel_bios/$name")"
    cp "$vendor/$name" "$stage/Zarel_bios/$name"
done <"$build/res/TrustedFiles.txt"
(cd "$stage/Zarel_bios" && sha256sum --quiet -c <<<"$sums") >/dev/null ||
    error "$vendor changed while the program was built; no ZIP written"
if [ -n "$cert" ]; then
    bash scripts/sign.sh --cert "$cert" --key "$key" "${sign_options[@]}" \
        --exe "$stage/BIOSUpdate.exe" >/dev/null
fi
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' scripts/package-README.txt >"$stage/README.txt"
files=(BIOSUpdate.exe README.txt "${names[@]}")
(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)

# Entries in a fixed order, dated with the commit, so that the same inputs
# give the same ZIP.
mkdir -p "$out"
zip="$out/BIOSUpdate-$version.zip"
date=$(git log -1 --format=%ct 2>/dev/null || date +%s)
python3 - "$stage" "$zip.part" "$date" "${files[@]}" SHA256SUMS <<'PY'
import sys, time, zipfile
stage, target, date, names = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, time.gmtime(date)[:6])
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.external_attr = 0o644 << 16
        with open(f'{stage}/{name}', 'rb') as f:
            archive.writestr(entry, f.read())
PY
mv "$zip.part" "$zip"
echo "$zip"
