#!/usr/bin/env bash
# vrqmq --serve behind a real Prometheus server: 20 stand-in queue managers (one stopped,
# one whose command queue is put-inhibited, one whose command server answers too slowly
# for its deadline, the rest healthy), the probe with a targets file for them, and
# Debian's prometheus with examples/prometheus/prometheus.yml (its scrape interval cut to
# 1 s, the probe's address and the target list replaced). After a few scrapes the check
# asks Prometheus' HTTP API for vrqmq_probe_success, the failure reasons and the round-trip
# quantiles of each target and compares them with what each queue manager was made to do;
# promtool checks the text of every endpoint. Takes under a minute.
#
# Usage: scripts/prometheus-check.sh <build dir>      Exit status 0 when every check held.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: prometheus-check.sh <build dir>}" && pwd)
vrqsim=$build/mqi/vrqsim
vrqmq=$build/tools/ping/vrqmq
for f in "$vrqsim" "$vrqmq" /usr/bin/prometheus /usr/bin/promtool /usr/bin/curl; do
  [ -x "$f" ] || { echo "prometheus-check: $f missing"; exit 1; }
done
work=$(mktemp -d)
export VRQSIM_DIR=$work/qms
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  for q in "${qms[@]}"; do "$vrqsim" stop "$q" >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# --- queue managers ------------------------------------------------------------------------
qms=()
for i in $(seq -w 1 20); do qms+=("PROM.QM$i"); done
printf 'DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n' > "$work/defs.mqsc"
mkdir -p "$VRQSIM_DIR"
for q in "${qms[@]}"; do
  "$vrqsim" create "$q" -d "$work/defs.mqsc" >/dev/null && "$vrqsim" start "$q" >/dev/null \
    || { echo "prometheus-check: cannot start $q"; exit 1; }
done
stopped=PROM.QM18 inhibited=PROM.QM19 slow=PROM.QM20
"$vrqsim" stop "$stopped" >/dev/null
"$vrqsim" fault "$inhibited" put-inhibit SYSTEM.ADMIN.COMMAND.QUEUE >/dev/null
"$vrqsim" fault "$slow" cmdserver delay 400 >/dev/null   # 5 pings need 2 s; the deadline is 1 s

# --- the probe -----------------------------------------------------------------------------
{
  for q in "${qms[@]}"; do
    printf '[%s]\nqmgr = %s\nbatch = 5\ndeadline = %s\n\n' "$q" "$q" "$([ "$q" = "$slow" ] && echo 1000 || echo 3000)"
  done
} > "$work/targets.ini"
probe_port=$(free_port)
"$vrqmq" --serve="$work/targets.ini" --listen="127.0.0.1:$probe_port" > "$work/vrqmq.log" 2>&1 &
pids+=($!)
probe=http://127.0.0.1:$probe_port
for _ in $(seq 50); do curl -sf "$probe/metrics" >/dev/null && break; sleep 0.1; done

# promtool on each endpoint's text, and the landing page.
for t in PROM.QM01 "$stopped" "$inhibited"; do
  curl -sf "$probe/probe?target=$t" > "$work/probe.txt" || fail "/probe?target=$t did not answer 200"
  promtool check metrics < "$work/probe.txt" || fail "promtool: /probe?target=$t"
done
curl -sf "$probe/metrics" > "$work/metrics.txt" || fail "/metrics did not answer 200"
promtool check metrics < "$work/metrics.txt" || fail "promtool: /metrics"
curl -sf "$probe/" | grep -q "PROM.QM07" || fail "the landing page does not list the targets"
[ "$(curl -s -o /dev/null -w '%{http_code}' "$probe/probe?target=elsewhere.example.com")" = 404 ] \
  || fail "a target outside the targets file was not refused"

# --- Prometheus ----------------------------------------------------------------------------
prom_port=$(free_port)
mkdir -p "$work/prom"
sed -e "s/127\.0\.0\.1:9723/127.0.0.1:$probe_port/" -e 's/scrape_interval: 30s/scrape_interval: 1s/' \
    -e 's/scrape_timeout: 10s/scrape_timeout: 1s/' \
    "$root/examples/prometheus/prometheus.yml" > "$work/prom/prometheus.yml"
{
  printf -- '- targets:\n'
  for q in "${qms[@]}"; do printf "    - '%s'\n" "$q"; done
} > "$work/prom/vrqmq-targets.yml"
promtool check config "$work/prom/prometheus.yml" >/dev/null || fail "promtool: the configuration"
/usr/bin/prometheus --config.file="$work/prom/prometheus.yml" --storage.tsdb.path="$work/prom/data" \
  --web.listen-address="127.0.0.1:$prom_port" > "$work/prometheus.log" 2>&1 &
pids+=($!)
api=http://127.0.0.1:$prom_port/api/v1

# Values of an instant query as "instance value" lines, one per series.
query() {
  curl -s --get --data-urlencode "query=$1" "$api/query" | python3 -c '
import json, sys
try:
    d = json.load(sys.stdin)
except ValueError:
    d = {}  # not started yet
for r in d.get("data", {}).get("result", []):
    m = r["metric"]
    print(m.get("instance", "-"), m.get("reason", "-"), r["value"][1])'
}
# Wait (at most 60 s) until every target has been scraped three times.
for _ in $(seq 60); do
  n=$(query 'count_over_time(vrqmq_probe_success{job="vrqmq"}[1m]) >= 3' | wc -l)
  [ "$n" -ge 20 ] && break
  sleep 1
done
[ "$n" -ge 20 ] || fail "Prometheus scraped only $n of 20 targets three times (see $work/prometheus.log)"

query 'vrqmq_probe_success{job="vrqmq"}' > "$work/success.txt"
query 'vrqmq_probe_failure_info{job="vrqmq"}' > "$work/reasons.txt"
query 'histogram_quantile(0.9, vrqmq_probe_round_trip_seconds_bucket{job="vrqmq"})' > "$work/p90.txt"
query 'vrqmq_probe_pings_answered{job="vrqmq"}' > "$work/answered.txt"
for q in "${qms[@]}"; do
  success=$(awk -v q="$q" '$1 == q {print $3}' "$work/success.txt")
  reason=$(awk -v q="$q" '$1 == q {print $2}' "$work/reasons.txt")
  p90=$(awk -v q="$q" '$1 == q {print $3}' "$work/p90.txt")
  answered=$(awk -v q="$q" '$1 == q {print $3}' "$work/answered.txt")
  case $q in
    "$stopped") want=0 want_reason=MQRC_Q_MGR_NOT_AVAILABLE ;;
    "$inhibited") want=0 want_reason=MQRC_PUT_INHIBITED ;;
    "$slow") want=0 want_reason=MQRC_NO_MSG_AVAILABLE ;;
    *) want=1 want_reason="" ;;
  esac
  [ "$success" = "$want" ] || fail "$q: vrqmq_probe_success $success, expected $want"
  # A slow target's reads run out, or on a busy machine the wait for its thread.
  [ "$q" = "$slow" ] && [ "${reason:-}" = DEADLINE_EXCEEDED ] && reason=$want_reason
  [ "${reason:-}" = "$want_reason" ] || fail "$q: failure reason '${reason:-}', expected '$want_reason'"
  case $q in
    "$stopped"|"$inhibited")
      [ "$p90" = NaN ] || fail "$q: a 0.9 quantile ($p90) without a single answer"
      [ "$answered" = 0 ] || fail "$q: $answered answers" ;;
    "$slow")
      # One command per 0.4 s: the answers that came in time waited 0.4 s or more.
      python3 -c "import sys; sys.exit(0 if 0.25 <= float('$p90') <= 1.0 else 1)" \
        || fail "$q: 0.9 quantile $p90, expected 0.25 s to 1 s"
      [ "$answered" -ge 1 ] && [ "$answered" -lt 5 ] || fail "$q: $answered of 5 answered within the deadline" ;;
    *)
      python3 -c "import sys; sys.exit(0 if 0 < float('$p90') <= 0.1 else 1)" \
        || fail "$q: 0.9 quantile $p90, expected above 0 and at most 0.1 s"
      [ "$answered" = 5 ] || fail "$q: $answered of 5 answered" ;;
  esac
done
# The probe's own view through Prometheus: every target probed, one connection per live
# target kept.
conns=$(query 'vrqmq_serve_connections_open' | awk '{print $3}')
[ "${conns:-0}" -ge 18 ] || fail "vrqmq_serve_connections_open ${conns:-none}, expected 18 or more"
curl -sf "$probe/metrics" > "$work/metrics.txt" && promtool check metrics < "$work/metrics.txt" \
  || fail "promtool: /metrics after the scrapes"

echo "prometheus-check: $(wc -l < "$work/success.txt") targets seen through Prometheus, $fails failures"
[ "$fails" -eq 0 ]
