#!/bin/sh
# Makes the certificates the TLS tests use, in the folder given (nothing is committed):
#   qm.p12 + qm.sth   the queue manager's key repository (PKCS #12, its password in the stash)
#   qm.pem            the same as PEM (key, certificate, CA)
#   trust.pem         a client repository that trusts the test CA only
#   client.pem        a client repository with its own key and certificate, and the CA
#   expired.pem       the same with a certificate that expired in 2020
#   other-trust.pem   a client repository that trusts an unrelated CA only
# Usage: tls-test-pki.sh <folder>
set -eu
dir=$1
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "tls-test-pki: failed: $*" >&2; exit 1; }; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -subj "/CN=vrq test CA" -days 30
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout other-ca.key -out other-ca.crt -subj "/CN=other CA" -days 30
for who in qm client old; do
  quiet openssl req -newkey rsa:2048 -nodes -keyout $who.key -out $who.csr -subj "/CN=$who"
done
quiet openssl x509 -req -in qm.csr -CA ca.crt -CAkey ca.key -set_serial 2 -out qm.crt -days 30
quiet openssl x509 -req -in client.csr -CA ca.crt -CAkey ca.key -set_serial 3 -out client.crt -days 30
# A certificate whose validity ended long ago needs the ca command and its small database.
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\ndefault_md=sha256\npolicy=p\nunique_subject=no\n[p]\ncommonName=supplied\n' > ca.cnf
: > index.txt
echo 04 > serial
quiet openssl ca -batch -config ca.cnf -cert ca.crt -keyfile ca.key -in old.csr -out old.crt \
  -startdate 20200101000000Z -enddate 20200102000000Z -notext
cat qm.key qm.crt ca.crt > qm.pem
printf 'stand-in test\n' > qm.sth
quiet openssl pkcs12 -export -inkey qm.key -in qm.crt -certfile ca.crt -out qm.p12 -passout file:qm.sth
cp ca.crt trust.pem
cat client.key client.crt ca.crt > client.pem
cat old.key old.crt ca.crt > expired.pem
cp other-ca.crt other-trust.pem
chmod 600 ./*.key ./*.pem ./*.p12 qm.sth
