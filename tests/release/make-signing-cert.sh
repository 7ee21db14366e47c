#!/usr/bin/env bash
# Makes a throw-away certificate authority and a code-signing certificate it
# issued: DIR/ca.pem, DIR/cert.pem and the certificate's key DIR/key.pem.
#
#   make-signing-cert.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca-key.pem -out ca.pem -days 2 \
    -subj "/CN=BIOSUpdate test CA" -addext "basicConstraints=critical,CA:true" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout key.pem -out cert.csr \
    -subj "/CN=BIOSUpdate test signer" 2>/dev/null
printf '%s\n' "basicConstraints=CA:false" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=codeSigning" >cert.ext
openssl x509 -req -in cert.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 2 \
    -extfile cert.ext -out cert.pem 2>/dev/null
rm -f cert.csr cert.ext ca.srl
