#!/usr/bin/env bash
# Signs a copy of the built program with scripts/sign.sh and a throw-away
# certificate, then checks the signature and that the signed program still
# works: it verifies against its CA and no other, one flipped byte breaks it
# and the resources are intact. With --run, it checks instead that the signed
# program's clean-up mode runs under Wine.
#
#   signing.sh [--run] EXE
set -uo pipefail
run=false
if [ "${1:-}" = --run ]; then
    run=true
    shift
fi
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

bash "$here/make-signing-cert.sh" "$work/cert" || exit 1
bash "$here/make-signing-cert.sh" "$work/other" || exit 1
mkdir "$work/app"
signed="$work/app/BIOSUpdate.exe"
cp "$exe" "$signed"
bash "$root/scripts/sign.sh" --cert "$work/cert/cert.pem" --key "$work/cert/key.pem" \
    --ca "$work/cert/ca.pem" --exe "$signed" || exit 1

if $run; then
    # The clean-up mode removes the empty work folder beside the program.
    mkdir "$work/app/Zarel_bios"
    (cd "$work/app" && "$root/tests/wine/wine-run.sh" "$signed" 1)
    rc=$?
    [ "$rc" -eq 0 ] || fail "the signed program's clean-up mode ended with $rc"
    [ -e "$work/app/Zarel_bios" ] && fail "the signed program left its empty work folder"
    echo "signed program under Wine: $failures failures"
    [ "$failures" -eq 0 ]
    exit
fi

verify() { osslsigncode verify -CAfile "$1" -in "$2" >"$work/verify.log" 2>&1; }
if verify "$work/cert/ca.pem" "$signed"; then
    grep -Eq "digest algorithm *: *SHA256" "$work/verify.log" || fail "not a SHA-256 digest"
    grep -q "description: BIOS Update Program" "$work/verify.log" ||
        fail "the description is not the version block's"
else
    cat "$work/verify.log"
    fail "the signed file does not verify against its CA"
fi
verify "$work/other/ca.pem" "$signed" && fail "the signed file verifies against another CA"

# One byte of the code, 4 KiB into the file, flipped.
flipped="$work/flipped.exe"
cp "$signed" "$flipped"
byte=$(od -An -tu1 -j4096 -N1 "$flipped" | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 0xFF)))" |
    dd of="$flipped" bs=1 seek=4096 conv=notrunc status=none
cmp -s "$signed" "$flipped" && fail "the byte was not flipped"
verify "$work/cert/ca.pem" "$flipped" && fail "a file with a flipped byte verifies"

python3 "$root/tests/resources/check_resources.py" "$signed" "$root/res/strings.inc" ||
    fail "the signed file's resources"

echo "signing: $failures failures"
[ "$failures" -eq 0 ]
