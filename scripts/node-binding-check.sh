#!/usr/bin/env bash
# IBM's Node.js binding (npm package ibmmq) against the stand-in MQ of a build:
#   scripts/node-binding-check.sh <build dir>
# Installs the package from the npm registry with its MQ client download switched off
# (MQIJS_NOREDIST) and its native part compiled from source against IBM's headers that the
# package carries, into <build dir>/node-ibmmq (kept for later runs). Then, against a
# stand-in queue manager, runs IBM's sample programs shipped with the package and
# tests/mqi/node/standin_check.js, once through libmqm_r and once through libmqic_r over
# TCP (MQSERVER). Exit status 0 when everything passed; 1 when anything failed, npm
# included (a cache, disk or authentication fault, a missing version, a call that outlives
# its time limit); 2 when the step cannot run here: no node/npm, a build without the
# stand-in MQ, or an npm registry that cannot be reached (no route, DNS failure, connection
# refused or timed out) and no package installed before. The last line says why
# ("SKIPPED: ...").
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/npm-call.sh"
build=$(cd "${1:?usage: $0 <build dir>}" && pwd)
vrqsim="$build/mqi/vrqsim"
mqm_dir="$build/mqi"
failures=0

say() { printf '%s\n' "$*"; }
fail() { say "FAILED: $*"; failures=$((failures + 1)); }

skip() { say "SKIPPED: $*"; exit 2; }

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  skip "node or npm not installed"
fi
[ -x "$vrqsim" ] || skip "$build has no stand-in MQ (built against IBM MQ)"
[ -e "$mqm_dir/libmqm_r.so" ] && [ -e "$mqm_dir/libmqic_r.so" ] \
  || { say "FAILED: $build has no libmqm_r.so and libmqic_r.so"; exit 1; }

# --- the package -------------------------------------------------------------------------
pkg="$build/node-ibmmq"
npm_log=$(mktemp)
npm_call 120 "$npm_log" view ibmmq version
case $? in
  0) version=$(tail -n 1 "$npm_log") ;;
  2) version="" ;;
  *) tail -n 20 "$npm_log"; rm -f "$npm_log"; say "FAILED: $NPM_FAILURE"; exit 1 ;;
esac
rm -f "$npm_log"
if [ -z "$version" ]; then
  [ -e "$pkg/node_modules/ibmmq/package.json" ] || skip "$NPM_FAILURE"
  say "$NPM_FAILURE: using the ibmmq package installed before"
else
  installed=$(node -p "require('$pkg/node_modules/ibmmq/package.json').version" 2>/dev/null)
  if [ "$installed" != "$version" ] || [ ! -e "$pkg/node_modules/ibmmq/build/Release/ibmmq_native.node" ]; then
    say "installing ibmmq $version (native part built from source, no MQ client download)"
    rm -rf "$pkg" && mkdir -p "$pkg"
    echo '{"name":"vrq-node-binding-check","version":"1.0.0","private":true}' >"$pkg/package.json"
    nodedir=()
    [ -e /usr/include/node/node.h ] && nodedir=(--nodedir=/usr)
    MQIJS_NOREDIST=1 npm_config_build_from_source=true npm_call 900 "$pkg/npm-install.log" \
      install --prefix "$pkg" --no-audit --no-fund "${nodedir[@]}" "ibmmq@$version"
    case $? in
      0) ;;
      2) skip "$NPM_FAILURE" ;;
      *) tail -n 30 "$pkg/npm-install.log"; say "FAILED: $NPM_FAILURE"; exit 1 ;;
    esac
  fi
fi
module="$pkg/node_modules/ibmmq"
if [ ! -e "$module/build/Release/ibmmq_native.node" ]; then
  fail "the binding's native part was not compiled from source"
fi
say "ibmmq $(node -p "require('$module/package.json').version"), native part: $module/build/Release/ibmmq_native.node"

# --- a stand-in queue manager -------------------------------------------------------------
work=$(mktemp -d)
export VRQSIM_DIR="$work/qms"
cleanup() {
  "$vrqsim" stop QM1 >/dev/null 2>&1
  "$vrqsim" stop QM2 >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$VRQSIM_DIR"
cat >"$work/defs.mqsc" <<'DEFS'
DEFINE QLOCAL(DEV.QUEUE.1)
DEFINE QLOCAL(DEV.QUEUE.2)
DEFINE QLOCAL(DEV.QUEUE.3)
DEFINE QMODEL(DEV.MODEL.QUEUE) DEFTYPE(TEMPDYN)
DEFS
"$vrqsim" create QM1 -d "$work/defs.mqsc" -D >/dev/null || { say "FAILED: vrqsim create"; exit 1; }
VRQSIM_TCP_PORT=0 "$vrqsim" start QM1 >/dev/null || { say "FAILED: vrqsim start"; exit 1; }
port=$(cat "$VRQSIM_DIR/QM1/qm.port")

# run <name> <expected text> <node arguments...>: passes when the program ends with status 0
# within a minute, prints the expected text and reports no failed MQ call.
run() {
  local name=$1 expect=$2; shift 2
  local out="$work/${name// /_}.out"
  (cd "$module/samples" && timeout 60 node "$@") >"$out" 2>&1
  local rc=$?
  if [ $rc -eq 0 ] && grep -qF -- "$expect" "$out" && ! grep -qiE "failed|error" "$out"; then
    say "ok   $name"
  else
    fail "$name (exit $rc)"
    sed 's/^/    /' "$out" | tail -n 15
  fi
}

samples() {
  run amqsput "MQPUT successful" amqsput.js DEV.QUEUE.1 QM1
  run amqsputp "MQPUT successful" amqsputp.js DEV.QUEUE.1 QM1
  run amqsbra "message <Hello" amqsbra.js DEV.QUEUE.1 QM1
  run amqsget "message len=" amqsget.js DEV.QUEUE.1 QM1
  run amqsput "MQPUT successful" amqsput.js DEV.QUEUE.1 QM1
  run amqsgeta "message <Hello" amqsgeta.js DEV.QUEUE.1 QM1
  run amqsput "MQPUT successful" amqsput.js DEV.QUEUE.1 QM1
  run amqsgetac "message <Hello" amqsgetac.js DEV.QUEUE.1 QM1
  # amqsprop puts a message with properties and gets one back with them in a message handle,
  # but its put is asynchronous and its get does not wait, so its get may come first and find
  # the queue empty. Of two runs one always reads the properties back: either the first run's
  # put came first, or its message is still there for the second run's get.
  run "amqsprop (1)" "MQPUT successful" amqsprop.js DEV.QUEUE.2 QM1
  run "amqsprop (2)" "MQPUT successful" amqsprop.js DEV.QUEUE.2 QM1
  if cat "$work/amqsprop_(1).out" "$work/amqsprop_(2).out" | grep -qF "PROP2INT"; then
    say "ok   amqsprop (properties read back)"
  else
    fail "amqsprop (neither run read the properties back)"
  fi
  run amqsinq 'qmgrName = "QM1"' amqsinq.js QM1
  run amqsdlh "MQPUT successful" amqsdlh.js DEV.QUEUE.3 QM1
  run amqsset "MQSET of queue successful" amqsset.js DEV.QUEUE.3 QM1
  # The subscriber waits for publications while the publisher puts one. It gives up after
  # 3 s without one, which a busy machine can take to start a node program: the publisher
  # starts once the subscription is made, and publishes again until the subscriber got one
  # or ended.
  (cd "$module/samples" && timeout 60 node amqssub.js dev/JSTopic QM1) >"$work/amqssub.out" 2>&1 &
  local sub=$! i
  for i in $(seq 600); do
    grep -q "MQSUB to topic" "$work/amqssub.out" && break
    kill -0 $sub 2>/dev/null || break
    sleep 0.1
  done
  run amqspub "MQPUT successful" amqspub.js dev/JSTopic QM1
  while kill -0 $sub 2>/dev/null && ! grep -q "message <" "$work/amqssub.out"; do
    (cd "$module/samples" && timeout 60 node amqspub.js dev/JSTopic QM1) >/dev/null 2>&1
  done
  wait $sub
  if grep -q "message <Hello" "$work/amqssub.out" && ! grep -qi "failed" "$work/amqssub.out"; then
    say "ok   amqssub"
  else
    fail "amqssub"
    sed 's/^/    /' "$work/amqssub.out" | tail -n 15
  fi
  NODE_PATH="$pkg/node_modules" run standin_check "all checks passed" "$root/tests/mqi/node/standin_check.js" \
    QM1 DEV.QUEUE.1 DEV.MODEL.QUEUE
}

say "--- through libmqm_r (server bindings)"
LD_LIBRARY_PATH="$mqm_dir" samples

say "--- through libmqic_r (client, MQSERVER=SYSTEM.DEF.SVRCONN/TCP/localhost($port))"
# The binding loads "libmqm_r"; a folder where that name is the client library stands in for
# IBM's client-only installation.
mkdir -p "$work/client-lib"
ln -s "$mqm_dir/libmqic_r.so" "$work/client-lib/libmqm_r.so"
"$vrqsim" stop QM1 >/dev/null && VRQSIM_TCP_PORT=$port "$vrqsim" start QM1 >/dev/null
# amqsset inhibited DEV.QUEUE.3 in the first round, and MQSET's changes survive a restart.
"$vrqsim" alter QM1 "QLOCAL(DEV.QUEUE.3)" PUT\(ENABLED\) GET\(ENABLED\) >/dev/null \
  || fail "vrqsim alter DEV.QUEUE.3 back to PUT(ENABLED) GET(ENABLED)"
MQSERVER="SYSTEM.DEF.SVRCONN/TCP/localhost($port)" LD_LIBRARY_PATH="$work/client-lib" samples

say "--- through libmqic_r to a queue manager that requires a user id and password (MQCSP)"
# The users file holds a salted SHA-512 crypt hash; the password reaches the check in a file.
"$vrqsim" stop QM1 >/dev/null
printf 'node-check-pw-%s\n' "$$" >"$work/password"
chmod 600 "$work/password"
printf 'app:%s:\n' "$(openssl passwd -6 -stdin <"$work/password")" >"$work/users"
chmod 600 "$work/users"
cat >"$work/auth.mqsc" <<DEFS
ALTER QMGR CONNAUTH('USE.PW')
DEFINE AUTHINFO('USE.PW') AUTHTYPE(IDPWOS) CHCKCLNT(REQUIRED) USERFILE('$work/users')
DEFINE QLOCAL(DEV.QUEUE.1)
DEFINE QMODEL(DEV.MODEL.QUEUE) DEFTYPE(TEMPDYN)
DEFS
if "$vrqsim" create QM2 -d "$work/auth.mqsc" >/dev/null && VRQSIM_TCP_PORT=$port "$vrqsim" start QM2 >/dev/null; then
  (cd "$module/samples" && MQSERVER="SYSTEM.DEF.SVRCONN/TCP/localhost($port)" LD_LIBRARY_PATH="$work/client-lib" \
     NODE_PATH="$pkg/node_modules" VRQ_AUTH_USER=app VRQ_AUTH_PASSWORD_FILE="$work/password" \
     timeout 60 node "$root/tests/mqi/node/standin_check.js" QM2 DEV.QUEUE.1 DEV.MODEL.QUEUE) >"$work/auth.out" 2>&1
  if [ $? -eq 0 ] && grep -qF "all checks passed" "$work/auth.out"; then
    say "ok   standin_check with MQCSP (right credentials in, wrong ones 2035)"
  else
    fail "standin_check with MQCSP"
    sed 's/^/    /' "$work/auth.out" | tail -n 15
  fi
  "$vrqsim" stop QM2 >/dev/null
else
  fail "vrqsim create/start of the authenticating queue manager"
fi

if [ $failures -ne 0 ]; then
  say "$failures Node.js binding checks failed"
  exit 1
fi
say "Node.js binding: all samples and checks passed"
