# Test support for the shell-driven tests: counts checks and failures and closes with the
# "N passed, N failed" line. Source it, then call pass, fail MESSAGE and finally finish NAME;
# wait_for polls for an event, expect_exit for the end of a program run in the background.
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
expect_exit() {  # <pid> <seconds> <code> <what>: the run ends in time with that code, else is killed
  local pid=$1 seconds=$2 expected=$3 what=$4 code
  if wait_for "$seconds" eval "! kill -0 $pid 2> /dev/null"; then
    wait "$pid"
    code=$?
    if [ "$code" -eq "$expected" ]; then pass; else fail "$what: exit code $code, expected $expected"; fi
  else
    fail "$what: still running after $seconds s"
    kill "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
  fi
}
