# shellcheck shell=bash
# Sourced by the shell tests: check results, polling, a virtual X display.
# The sourcing script sets $work (its scratch folder) first.

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
# wait_until SECONDS COMMAND...: polls, for a machine under load.
wait_until() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# start_xvfb: a virtual display (Xvfb picks a free display number itself),
# its process in $xvfb_pid for the caller's clean-up; exports DISPLAY, or
# returns 1 when Xvfb wrote no display number (its log is $work/xvfb.log).
start_xvfb() {
  Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$work/display" ] || return 1
  export DISPLAY=":$(head -n 1 "$work/display")"
}
