# Test support for the shell-driven tests: counts checks and failures and closes with the
# "N passed, N failed" line. Source it, then call pass, fail MESSAGE and finally finish NAME;
# wait_for polls for an event.
failures=0
checks=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { checks=$((checks + 1)); }
finish() {
  echo "$1: $checks passed, $failures failed"
  [ "$failures" -eq 0 ]
}
wait_for() {  # <seconds> <command...>: polls until the command succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}
