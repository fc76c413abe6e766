#!/usr/bin/env bash
# Makes the simulated portal's test CA and its server certificate for loopback (localhost, 127.0.0.1, ::1).
# Both are valid from 2020 to 2075, so that neither a machine whose clock lags nor the passing years make the
# tests fail. Run it only to replace them; the CA's private key is thrown away, so nothing else can ever be
# signed with it.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

start=20200101000000Z
end=20750101000000Z

mkdir -p "$work/newcerts"
touch "$work/index.txt"
echo 1000 > "$work/serial"
cat > "$work/ca.cnf" <<CNF
[ca]
default_ca = test_ca
[test_ca]
dir = $work
database = $work/index.txt
new_certs_dir = $work/newcerts
serial = $work/serial
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = none
[anything]
organizationName = optional
commonName = supplied
[ca_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[server_ext]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost,IP:127.0.0.1,IP:::1
authorityKeyIdentifier = keyid
CNF

# The CA signs itself, so that it can carry the backdated validity too.
openssl req -new -newkey rsa:2048 -nodes -subj "/O=quendle2 tests/CN=quendle2 portal-sim test CA" \
  -keyout "$work/ca.key" -out "$work/ca.csr"
openssl ca -batch -config "$work/ca.cnf" -selfsign -keyfile "$work/ca.key" -in "$work/ca.csr" \
  -startdate "$start" -enddate "$end" -extensions ca_ext -notext -out ca.pem

openssl req -new -newkey rsa:2048 -nodes -subj "/O=quendle2 tests/CN=localhost" \
  -keyout server.key -out "$work/server.csr"
openssl ca -batch -config "$work/ca.cnf" -cert ca.pem -keyfile "$work/ca.key" -in "$work/server.csr" \
  -startdate "$start" -enddate "$end" -extensions server_ext -notext -out server.pem

openssl verify -CAfile ca.pem server.pem
