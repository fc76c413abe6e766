#!/usr/bin/env bash
# Makes the simulated portal's test CA and its server certificate for loopback (localhost, 127.0.0.1, ::1),
# both valid for decades so that tests never start failing on a date. Run it only to replace them;
# the CA's private key is thrown away, so nothing else can ever be signed with it.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

days=18250 # fifty years

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days "$days" \
  -subj "/O=quendle2 tests/CN=quendle2 portal-sim test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout "$work/ca.key" -out ca.pem

openssl req -newkey rsa:2048 -nodes -sha256 \
  -subj "/O=quendle2 tests/CN=localhost" \
  -keyout server.key -out "$work/server.csr"

cat > "$work/ext.cnf" <<EXT
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1
EXT

openssl x509 -req -in "$work/server.csr" -CA ca.pem -CAkey "$work/ca.key" -CAcreateserial \
  -CAserial "$work/ca.srl" -days "$days" -sha256 -extfile "$work/ext.cnf" -out server.pem

openssl verify -CAfile ca.pem server.pem
