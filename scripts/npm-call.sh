# Sourced by the scripts that fetch IBM's npm package ibmmq (node-binding-check.sh,
# check-ibm-headers.sh): one npm call with a time limit, and its failure sorted into "the
# registry cannot be reached" (no route, DNS failure, connection refused or timed out: the
# step cannot run here) and every other failure (cache, disk, permissions, authentication,
# a missing package or version, npm itself hanging past the limit: the step fails).
#
# npm_call <seconds> <log file> <npm arguments...>
#   runs npm with its output in <log file>; status 0 when npm succeeded, 2 when the registry
#   could not be reached, 1 on any other failure. On failure NPM_FAILURE holds one line
#   saying why.
NPM_FAILURE=""
npm_call() {
  local seconds=$1 log=$2 rc code
  shift 2
  NPM_FAILURE=""
  # At most two tries of a third of the limit each, so that a registry that cannot be
  # reached shows as npm's own network error before the limit ends the call.
  npm_config_fetch_retries=${npm_config_fetch_retries:-1} \
    npm_config_fetch_timeout=${npm_config_fetch_timeout:-$((seconds * 1000 / 3))} \
    timeout --kill-after=10 "$seconds" npm "$@" >"$log" 2>&1
  rc=$?
  [ $rc -eq 0 ] && return 0
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    NPM_FAILURE="npm $1 did not finish within ${seconds}s"
    return 1
  fi
  # npm names the error's code on a line "npm error code X" ("npm ERR! code X" before npm 9).
  code=$(sed -n 's/^npm \(error\|ERR!\) code \([A-Z_0-9]*\).*/\2/p' "$log" | head -n 1)
  case $code in
    ENOTFOUND | EAI_AGAIN | ENETUNREACH | EHOSTUNREACH | ECONNREFUSED | ETIMEDOUT | ESOCKETTIMEDOUT)
      NPM_FAILURE="the npm registry cannot be reached (npm $1: $code)"
      return 2 ;;
  esac
  NPM_FAILURE="npm $1 failed (exit $rc${code:+, $code})"
  return 1
}
