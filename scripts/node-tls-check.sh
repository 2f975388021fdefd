#!/usr/bin/env bash
# IBM's Node.js binding (npm package ibmmq) over TLS channels through libmqic_r:
#   scripts/node-tls-check.sh <build dir>
# Uses the package scripts/node-binding-check.sh installed into <build dir>/node-ibmmq.
# Makes test certificates (scripts/tls-test-pki.sh), starts a stand-in queue manager with
# TLS channels, and runs IBM's TLS sample amqsconntls.js (MQCD + MQSCO, CipherSpec
# ANY_TLS12_OR_HIGHER, key repository ./mykey) and tests/mqi/node/tls_check.js with the right
# CipherSpec (in) and a wrong one (2393, AMQ9631E in the queue manager's log). Exit status 0
# when everything passed or the step cannot run here (said on the output); 1 on a failure.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: $0 <build dir>}" && pwd)
vrqsim="$build/mqi/vrqsim"
pkg="$build/node-ibmmq"
module="$pkg/node_modules/ibmmq"
failures=0
say() { printf '%s\n' "$*"; }
fail() { say "FAILED: $*"; failures=$((failures + 1)); }

if ! command -v node >/dev/null || [ ! -e "$module/build/Release/ibmmq_native.node" ]; then
  say "node or the ibmmq package (installed by scripts/node-binding-check.sh) missing: Node.js TLS step skipped"
  exit 0
fi
if [ ! -x "$vrqsim" ] || [ ! -e "$build/mqi/libmqic_r.so" ]; then
  say "$build has no stand-in MQ: Node.js TLS step skipped"
  exit 0
fi
if ! command -v openssl >/dev/null; then
  say "openssl not installed: Node.js TLS step skipped"
  exit 0
fi

work=$(mktemp -d)
export VRQSIM_DIR="$work/qms"
cleanup() {
  "$vrqsim" stop QM1 >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$VRQSIM_DIR" "$work/run" "$work/client-lib"
"$root/scripts/tls-test-pki.sh" "$work/pki" || { say "FAILED: test certificates"; exit 1; }
cat >"$work/defs.mqsc" <<DEFS
DEFINE QLOCAL(DEV.QUEUE.1)
DEFINE CHANNEL(SYSTEM.SSL.SVRCONN) CHLTYPE(SVRCONN) SSLCIPH(ANY_TLS12_OR_HIGHER) SSLCAUTH(OPTIONAL)
DEFINE CHANNEL(APP.TLS13) CHLTYPE(SVRCONN) SSLCIPH(TLS_AES_256_GCM_SHA384) SSLCAUTH(OPTIONAL)
ALTER QMGR SSLKEYR('$work/pki/qm')
DEFS
"$vrqsim" create QM1 -d "$work/defs.mqsc" -D >/dev/null || { say "FAILED: vrqsim create"; exit 1; }
VRQSIM_TLS_PORT=0 "$vrqsim" start QM1 >/dev/null || { say "FAILED: vrqsim start"; exit 1; }
conn="localhost($(cat "$VRQSIM_DIR/QM1/qm.tlsport"))"
# The binding loads "libmqm_r"; here that name is the client library.
ln -s "$build/mqi/libmqic_r.so" "$work/client-lib/libmqm_r.so"
cp "$work/pki/trust.pem" "$work/run/mykey.pem"
export LD_LIBRARY_PATH="$work/client-lib"

out="$work/amqsconntls.out"
(cd "$work/run" && timeout 60 node "$module/samples/amqsconntls.js" QM1 "$conn") >"$out" 2>&1
if grep -q "MQCONN to QM1 successful" "$out" && grep -q "MQDISC successful" "$out"; then
  say "ok   amqsconntls (ANY_TLS12_OR_HIGHER, key repository ./mykey)"
else
  fail "amqsconntls"
  sed 's/^/    /' "$out" | tail -n 15
fi

check() {  # channel cipher expected-reason
  if ! NODE_PATH="$pkg/node_modules" timeout 60 node "$root/tests/mqi/node/tls_check.js" QM1 "$conn" "$1" "$2" \
         "$work/pki/trust" DEV.QUEUE.1 "$3"; then
    fail "tls_check $1 $2"
  fi
}
check APP.TLS13 TLS_AES_256_GCM_SHA384 0
check APP.TLS13 TLS_AES_128_GCM_SHA256 2393
check APP.TLS13 TLS_RSA_WITH_AES_256_GCM_SHA384 2393
if grep -q AMQ9631E "$VRQSIM_DIR/QM1/qm.log"; then
  say "ok   AMQ9631E in the queue manager's log"
else
  fail "no AMQ9631E in the queue manager's log"
fi

if [ $failures -ne 0 ]; then
  say "$failures Node.js TLS checks failed"
  exit 1
fi
say "Node.js binding over TLS: all checks passed"
