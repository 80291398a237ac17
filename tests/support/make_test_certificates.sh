#!/bin/sh
# Makes the certificates the signing tests use, in the folder given: a test
# authority, a company seal certificate signed by it (seal.p12, password
# "seal-pass"), one that has expired (expired.p12), one not allowed to sign
# (encipher-only.p12), and a timestamp authority (tsa.pem, tsa.key, tsa.cnf).
# Everything is made here with the openssl command; nothing is fetched.
set -eu
cd "$1"
q() { "$@" >/dev/null 2>&1; }
q openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 -subj "/CN=kt482 Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"

# name, extensions, extra arguments of the signing
issue() {
  q openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/O=ABC Trading/CN=$2"
  printf '%s\n' "$3" > "$1.ext"
  q openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -set_serial "$4" -days 30 -extfile "$1.ext" -out "$1.pem"
}
issue seal "ABC Trading Seal" "keyUsage=critical,digitalSignature,nonRepudiation" 2
issue encipher-only "ABC Trading Mail" "keyUsage=critical,keyEncipherment" 3
issue tsa "kt482 Test TSA" "extendedKeyUsage=critical,timeStamping
keyUsage=critical,digitalSignature" 4
for n in seal encipher-only; do
  q openssl pkcs12 -export -inkey "$n.key" -in "$n.pem" -certfile ca.pem -passout pass:seal-pass -out "$n.p12"
done

# A certificate whose validity ended years ago needs the ca command's dates.
mkdir -p ca-db && : > ca-db/index.txt && echo 05 > ca-db/serial
cat > ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = ca-db/index.txt
serial = ca-db/serial
new_certs_dir = ca-db
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
organizationName = optional
CNF
q openssl req -newkey rsa:2048 -nodes -keyout expired.key -out expired.csr -subj "/CN=ABC Trading Old Seal"
q openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr -out expired.pem \
  -startdate 20200101000000Z -enddate 20210101000000Z
q openssl pkcs12 -export -inkey expired.key -in expired.pem -passout pass:seal-pass -out expired.p12

cat > tsa.cnf <<CNF
[tsa]
default_tsa = test
[test]
serial = $PWD/tsa-serial
signer_cert = $PWD/tsa.pem
certs = $PWD/ca.pem
signer_key = $PWD/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
ess_cert_id_chain = no
CNF
echo 01 > tsa-serial
