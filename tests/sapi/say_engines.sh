#!/usr/bin/env bash
# lamina-say with an outside engine in ORALIS.INI: say_engines.sh LAMINA_SAY
# TIPOSAPI=3 speaks through the MBROLA engine (16000 Hz 16-bit sound that is
# not silence), TIPOSAPI=4 through eSpeak NG (its 22050 Hz 16-bit sound in the
# file), TIPOSAPI=5 through a private Speech Dispatcher daemon, and with no
# daemon the own synthesizer takes over.
set -euo pipefail
say=$1
# In a sanitized build, the checker would measure the rest of the daemon's
# voice list at each of libspeechd's string searches (minutes instead of a
# second); those searches are libspeechd's own.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}intercept_strstr=0:fast_unwind_on_malloc=0"
dir=$(mktemp -d)
daemon_pid=
cleanup() {
  [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

ini() { printf '[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=%s\n' "$1" >"$dir/ORALIS.INI"; }
run() { ORALIS_DIR=$dir SDL_AUDIODRIVER=dummy timeout 120 "$say" --trace "$@"; }

ini 3
out=$(run --wav "$dir/three.wav" "Bom dia, 42 apresentações.")
grep -q '^engine Bom dia, 42 apresentações.$' <<<"$out" || fail "TIPOSAPI=3 did not reach the engine: $out"
[ "$(od -An -tu4 -j24 -N4 "$dir/three.wav" | tr -d ' ')" = 16000 ] || fail "not the MBROLA rate"
[ "$(od -An -tu2 -j34 -N2 "$dir/three.wav" | tr -d ' ')" = 16 ] || fail "MBROLA: not 16-bit"
loudest=$(od -An -v -td2 -j44 "$dir/three.wav" | tr -s ' ' '\n' |
  awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) m = v } END { print m + 0 }')
[ "$loudest" -gt 2000 ] || fail "MBROLA: silence (loudest sample $loudest)"

ini 4
out=$(run --wav "$dir/four.wav" "Bom dia, 42 apresentações.")
grep -q '^engine Bom dia, 42 apresentações.$' <<<"$out" || fail "TIPOSAPI=4 did not reach the engine: $out"
# Bytes 24..27: the sample rate; 34..35: the sample size.
[ "$(od -An -tu4 -j24 -N4 "$dir/four.wav" | tr -d ' ')" = 22050 ] || fail "not eSpeak NG's rate"
[ "$(od -An -tu2 -j34 -N2 "$dir/four.wav" | tr -d ' ')" = 16 ] || fail "not 16-bit"

ini 5
out=$(SPEECHD_ADDRESS="unix_socket:$dir/no-daemon" run --wav "$dir/own.wav" "Bom dia")
grep -q '^engine' <<<"$out" && fail "no daemon, yet the engine was used: $out"
grep -q '^unit ' <<<"$out" || fail "the own synthesizer did not take over: $out"

mkdir -p "$dir/conf/modules" "$dir/home"
printf 'LogDir "%s"\nAudioOutputMethod "libao"\nAddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"\nDefaultModule espeak-ng\n' \
  "$dir" >"$dir/conf/speechd.conf"
: >"$dir/conf/modules/espeak-ng.conf"
echo 'default_driver=null' >"$dir/home/.libao"
if ! command -v speech-dispatcher >/dev/null; then
  echo "SKIPPED the Speech Dispatcher part: speech-dispatcher is not installed"
  exit 0
fi
HOME=$dir/home XDG_RUNTIME_DIR=$dir speech-dispatcher -s -t 0 -C "$dir/conf" -S "$dir/sock" \
  -P "$dir/pid" -L "$dir" >"$dir/daemon.log" 2>&1 &
daemon_pid=$!
for _ in $(seq 100); do [ -S "$dir/sock" ] && break; sleep 0.1; done
if [ ! -S "$dir/sock" ]; then
  echo "SKIPPED the Speech Dispatcher part: the daemon did not start"
  exit 0
fi
out=$(SPEECHD_ADDRESS="unix_socket:$dir/sock" run "Bom dia")
grep -q '^engine Bom dia$' <<<"$out" || fail "TIPOSAPI=5 did not reach the daemon: $out"
echo "ok"
