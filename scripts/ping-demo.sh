#!/usr/bin/env bash
# The main job on a machine without IBM MQ: build the ping utility and the stand-in queue
# manager, start a queue manager with the objects the ping needs (its model queue
# ORVANE.MODEL.QUEUE among them), ping it with a batch and confirmations, show the
# statistics report, and stop the queue manager again.
#
# Extra arguments go to vrqmq (default: -b10 -ccoa -ccod). Environment: VRQ_BUILD_DIR
# (default build/demo).
set -eu
cd "$(dirname "$0")/.."
build=${VRQ_BUILD_DIR:-build/demo}

need=()
for p in cmake ninja-build g++; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${need[@]}"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRQ_WERROR=OFF -DVRQ_TESTS=OFF -DVRQ_BENCH=OFF >/dev/null
cmake --build "$build" --target vrqmq vrqsim

export VRQSIM_DIR
VRQSIM_DIR=$(mktemp -d)
sim="$build/mqi/vrqsim"
qm=DEMO.QM
cleanup() { "$sim" stop "$qm" >/dev/null 2>&1 || true; rm -rf "$VRQSIM_DIR"; }
trap cleanup EXIT

cat >"$VRQSIM_DIR/demo.mqsc" <<'DEFS'
DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN) DESCR('reply queues of the ping utility')
DEFS
"$sim" create "$qm" -d "$VRQSIM_DIR/demo.mqsc"
"$sim" start "$qm"

args=("$@")
[ ${#args[@]} -gt 0 ] || args=(-b10 -ccoa -ccod)
set +e
"$build/tools/ping/vrqmq" "-m$qm" "${args[@]}"
status=$?
set -e
"$sim" stop "$qm"
exit $status
