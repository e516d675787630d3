#!/usr/bin/env bash
# lamina-say end to end on the build's voice data:
#   say_test.sh LAMINA_SAY DATA_DIR WORK_DIR
# The sentence must come out as speech (a length and a level a listener can
# follow), and the tool must fail when nothing could be spoken: a voice whose
# index is empty, or no sound device.
set -u
say=$1
data=$2
work=$3
rm -rf "$work"
mkdir -p "$work/oralis" "$work/empty-voice"
export ORALIS_DIR="$work/oralis" SDL_AUDIODRIVER=dummy
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! "$say" --wav "$work/say.wav" "Bom dia, 42 apresentações."; then
  fail "the sentence was not spoken"
else
  stats=$(sox "$work/say.wav" -n stat 2>&1)
  length=$(echo "$stats" | awk '/^Length/ {print $3}')
  rms=$(echo "$stats" | awk '/^RMS +amplitude/ {print $3}')
  echo "length ${length}s, RMS amplitude $rms"
  awk -v l="$length" 'BEGIN {exit !(l >= 1.5 && l <= 7)}' || fail "length $length s is not that of the sentence"
  awk -v r="$rms" 'BEGIN {exit !(r >= 0.03)}' || fail "RMS amplitude $rms is too low for speech"
fi

: >"$work/empty-voice/DIFONES2.IND"
: >"$work/empty-voice/DIFONES2.DIF"
cp "$data/difones/regras.rgr" "$data/difones/portug.exc" "$work/empty-voice/"
printf '[TRADUTOR]\nDIRDIFONES=%s\n' "$work/empty-voice" >"$work/oralis/ORALIS.INI"
if "$say" --wav "$work/empty.wav" "Bom dia casa"; then fail "an empty voice reported success"; fi
rm "$work/oralis/ORALIS.INI"

if SDL_AUDIODRIVER=nonexistent "$say" "Bom dia"; then fail "no sound device reported success"; fi

[ "$failures" -eq 0 ] && echo "lamina-say: all checks passed"
exit $((failures > 0))
