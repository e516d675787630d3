#!/usr/bin/env bash
# The talking conversion in a real window on a virtual X display, typed with
# real key events: the list of presentations opened with Down, the entry
# picked with Enter, the empty answer for the output name. The screen at the
# output prompt is compared with its text cells, and the program must end by
# itself with the text file written.
#
#   sequence_window_test.sh LAMINA EXAMPLE_PPTX WORK_DIR
#
# Exit 77 (skipped) only when no virtual display can be started.
set -u
program=$(realpath "$1")
example=$(realpath "$2")
work=$3
rm -rf "$work"
mkdir -p "$work/oralis" "$work/cwd"
here=$(dirname "${BASH_SOURCE[0]}")

# shellcheck source=tests/check_helpers.sh
source "$here/../check_helpers.sh"

xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

if ! command -v Xvfb >/dev/null; then
  echo "Xvfb missing"
  exit 77
fi
for tool in xdotool import identify convert; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/install-deps.sh)"; exit 1; }
done
if ! start_xvfb; then
  echo "Xvfb did not start:"
  cat "$work/xvfb.log"
  exit 77
fi
export LANG=C.UTF-8 LC_ALL=C.UTF-8 ORALIS_DIR="$work/oralis"
unset SDL_VIDEODRIVER
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

cp "$example" "$work/cwd/aula.pptx"
: >"$work/cwd/leia-me.txt"
(cd "$work/cwd" && exec "$program") >"$work/out" 2>&1 &
app_pid=$!

wid=$(timeout 20 xdotool search --sync --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1)
if [ -z "$wid" ]; then
  echo "FAIL: no window appeared"
  cat "$work/out"
  exit 1
fi
shot() { import -window "$wid" "$1" 2>/dev/null; }

# The rows above the output name's line: each cell a character and its
# background (the banner stands on blue).
python3 - "$work/expected" <<'PY'
import sys
rows = ['LAMINA - v1.0 alfa', '', 'Informe o arquivo PPT ou PPS a ler: ', 'aula.pptx',
        'Informe o arquivo TXT de destino: ']
with open(sys.argv[1], 'w', encoding='utf-8') as f:
    for n, text in enumerate(rows):
        cells = text.ljust(80)
        f.write(''.join(c + ('1' if n == 0 and i < 18 else '0') for i, c in enumerate(cells)) + '\n')
PY

xdotool windowfocus --sync "$wid"
sleep 0.3
# Down opens the list of the folder's presentations (the text file is not
# one), Enter picks the first entry.
xdotool key --delay 150 Down Return
at_output_prompt() {
  shot "$work/prompt.png" && python3 "$here/screen_cells.py" "$work/prompt.png" "$work/expected" >"$work/cells"
}
if wait_until 60 at_output_prompt; then
  pass "the window shows the banner, both prompts and the picked name"
else
  fail "screen at the output prompt:"
  cat "$work/cells"
fi
xdotool key Return
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
if wait_until 90 ended; then
  wait "$app_pid"
  status=$?
  app_pid=
  [ "$status" = 0 ] && pass "the program ended by itself with 0" || fail "exit status $status"
else
  fail "the program did not end after the conversion"
fi
if [ -f "$work/cwd/aula.pptx.TXT" ] && iconv -f CP1252 -t UTF-8 "$work/cwd/aula.pptx.TXT" |
  grep -q "Evaporação: o sol aquece"; then
  pass "aula.pptx.TXT written"
else
  fail "no aula.pptx.TXT with the slides' text"
fi
cmp -s "$example" "$work/cwd/aula.pptx" || fail "the presentation changed"
if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed; program output:"
  cat "$work/out"
  exit 1
fi
echo "all checks of the conversion in a window passed"
