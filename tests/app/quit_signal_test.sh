#!/usr/bin/env bash
# Ctrl+C (SIGINT) and SIGTERM end the program as its quit message does, with
# exit code 255: on the headless console, and on a window under a virtual X
# display when Xvfb is there.
#
#   quit_signal_test.sh LAMINA WORK_DIR
set -u

program=$1
work=$2
rm -rf "$work"
mkdir -p "$work/oralis"
export ORALIS_DIR="$work/oralis" SDL_AUDIODRIVER=dummy LANG=C.UTF-8 LC_ALL=C.UTF-8
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# shellcheck source=tests/check_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/../check_helpers.sh"
pid=
xvfb_pid=
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

# stop_with SIGNAL NAME: sends the signal to $pid and checks its exit code.
stop_with() {
  kill "-$1" "$pid"
  local status=
  for _ in $(seq 200); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      status=$?
      break
    fi
    sleep 0.1
  done
  [ -z "$status" ] && kill -9 "$pid" 2>/dev/null
  pid=
  [ "$status" = 255 ] && pass "$2 ends on SIG$1 with 255" ||
    fail "$2 on SIG$1: exit status '${status:-still running}'"
}

# ---- headless: keys from standard input; the demo logs each key it reads,
# so a logged key shows it is in its loop before the signal comes.
for signal in INT TERM; do
  log="$work/keys-$signal"
  in="$work/in-$signal"
  : >"$log"
  mkfifo "$in"
  "$program" --console=headless --demo-console --key-log "$log" <"$in" >"$work/out-$signal" 2>&1 &
  pid=$!
  exec 3>"$in"
  printf 'x\n' >&3
  if wait_until 30 grep -qx 120 "$log"; then
    stop_with "$signal" "headless console"
  else
    fail "headless console never read its key"
    cat "$work/out-$signal"
  fi
  exec 3>&-
done

# ---- a window on a virtual display
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  if start_xvfb; then
    unset SDL_VIDEODRIVER
    for signal in INT TERM; do
      "$program" --console=sdl --demo-console </dev/null >"$work/sdl-out-$signal" 2>&1 &
      pid=$!
      if [ -n "$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null)" ]; then
        stop_with "$signal" "window console"
      else
        fail "no window appeared"
        cat "$work/sdl-out-$signal"
      fi
    done
  else
    echo "no virtual display; the window console is not tried"
  fi
fi

[ "$failures" -eq 0 ] || exit 1
echo "all signal checks passed"
