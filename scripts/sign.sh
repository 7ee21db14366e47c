#!/usr/bin/env bash
# Signs BIOSUpdate.exe in place (Authenticode, SHA-256, the description of its
# version block) and verifies the result.
#
#   sign.sh --cert CERT.pem --key KEY.pem [--timestamp URL] [--ca CA.pem] [--exe FILE]
#
# CERT.pem holds the code-signing certificate, optionally followed by its
# intermediate certificates; KEY.pem its unencrypted private key. --timestamp
# asks an RFC 3161 time-stamping service to count-sign. The signature is
# verified against CA.pem, by default against the system's certificates.
# FILE is build/windows/BIOSUpdate.exe unless given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/version-block.sh"

usage() {
    sed -n 's/^#   //p' "$0" >&2
    exit 2
}
cert="" key="" timestamp="" ca="" exe="$root/build/windows/BIOSUpdate.exe"
while (($#)); do
    case "$1" in
        --cert | --key | --timestamp | --ca | --exe) (($# >= 2)) || usage ;;&
        --cert) cert=$2 ;;
        --key) key=$2 ;;
        --timestamp) timestamp=$2 ;;
        --ca) ca=$2 ;;
        --exe) exe=$2 ;;
        *) usage ;;
    esac
    shift 2
done
[ -n "$cert" ] && [ -n "$key" ] || usage
for file in "$cert" "$key" "$exe" ${ca:+"$ca"}; do
    [ -f "$file" ] || { echo "sign.sh: $file does not exist" >&2; exit 1; }
done
description=$(version_text FileDescription)
[ -n "$description" ] || { echo "sign.sh: no FileDescription in $VERSION_BLOCK_RC" >&2; exit 1; }

signed="$exe.signing"
log=$(mktemp)
trap 'rm -f "$signed" "$log"' EXIT
osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "$description" \
    ${timestamp:+-ts "$timestamp"} -in "$exe" -out "$signed" >/dev/null
if ! osslsigncode verify ${ca:+-CAfile "$ca"} -in "$signed" >"$log" 2>&1; then
    cat "$log" >&2
    echo "sign.sh: the signed file does not verify; $exe is left as it was" >&2
    exit 1
fi
mv "$signed" "$exe"
echo "signed and verified: $exe (\"$description\", SHA-256)"
