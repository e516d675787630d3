#!/usr/bin/env bash
# Drives a console window on a virtual X display and checks what a user
# would see and type: the window's size and size limits, colours on a
# screenshot, keys arriving with their codes, the right-button magnifier.
#
#   window_test.sh probe WINDOW_PROBE WORK_DIR
#   window_test.sh demo  LAMINA       WORK_DIR
#
# Exit 77 (skipped) only when no virtual display can be started.
set -u

mode=$1
program=$2
work=$3
rm -rf "$work"
mkdir -p "$work/oralis"
log="$work/log"

# shellcheck source=tests/check_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/../check_helpers.sh"

xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

# ---- the virtual display; Xvfb picks a free display number itself
if ! command -v Xvfb >/dev/null; then
  echo "Xvfb missing"
  exit 77
fi
for tool in xdotool xprop import convert compare setxkbmap; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/install-deps.sh)"; exit 1; }
done
if ! start_xvfb; then
  echo "Xvfb did not start:"
  cat "$work/xvfb.log"
  exit 77
fi
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset SDL_VIDEODRIVER
# The demo's editor speaks; a virtual display has no sound card.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# Under AddressSanitizer the X libraries that SDL loads and unloads at run
# time, and its D-Bus connection, leave allocations the leak checker cannot
# place; leaks of our own code are caught by the unit tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
echo "display $DISPLAY"

# ---- the program under test
: >"$log"
if [ "$mode" = demo ]; then
  ORALIS_DIR="$work/oralis" "$program" --demo-console --key-log "$log" >"$work/out" 2>&1 &
else
  "$program" "$log" >"$work/out" 2>&1 &
fi
app_pid=$!

wid=$(timeout 20 xdotool search --sync --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1)
if [ -z "$wid" ]; then
  echo "FAIL: no window appeared"
  cat "$work/out"
  exit 1
fi
pixel() { # image x y -> #RRGGBB
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | grep -o '#[0-9A-Fa-f]\{6\}' | head -n 1
}
shot() { import -window "$wid" "$1" 2>/dev/null; }
if [ "$mode" = demo ]; then
  blank_col=0 letter_col=1
else
  blank_col=1 letter_col=2
fi
banner_shown() {
  shot "$work/start.png" && [ "$(pixel "$work/start.png" $((blank_col * 9 + 4)) 11)" = "#0000FF" ]
}
wait_until 20 banner_shown || echo "the banner did not appear in time"

# ---- geometry and size limits (no ORALIS.INI: 80 x 9 by 25 x 22 pixels)
eval "$(xdotool getwindowgeometry --shell "$wid")"
if [ "$WIDTH" = 720 ] && [ "$HEIGHT" = 550 ]; then
  pass "client area 720 x 550"
else
  fail "client area ${WIDTH} x ${HEIGHT}, expected 720 x 550"
fi
hints=$(xprop -id "$wid" WM_NORMAL_HINTS)
echo "$hints" | grep -q "minimum size: 144 by 88" && pass "minimum size 16 x 4 cells" ||
  fail "minimum size: $hints"
echo "$hints" | grep -q "maximum size: 720 by 550" && pass "maximum size 80 x 25 cells" ||
  fail "maximum size: $hints"

# ---- colours on a screenshot of the window
cell_has() { # image column row colour
  convert "$1" -crop "9x22+$(($2 * 9))+$(($3 * 22))" +repage -depth 8 -format %c histogram:info:- |
    grep -qi "$4"
}
if [ "$mode" = probe ]; then
  [ "$(pixel "$work/start.png" 94 121)" = "#FF0000" ] && pass "red cell (10, 5)" ||
    fail "cell (10, 5) is $(pixel "$work/start.png" 94 121)"
fi
p=$(pixel "$work/start.png" $((blank_col * 9 + 4)) 11)
[ "$p" = "#0000FF" ] && pass "banner background blue" || fail "banner background $p"
cell_has "$work/start.png" "$letter_col" 0 "#FFFF00" && pass "banner letter yellow" ||
  fail "no yellow in the banner's first letter"
p=$(pixel "$work/start.png" $((60 * 9 + 4)) $((12 * 22 + 11)))
[ "$p" = "#000000" ] && pass "screen background black" || fail "background $p"

# ---- keys
xdotool windowfocus --sync "$wid"
sleep 0.3
xdotool key --delay 100 F1
xdotool key --delay 100 ctrl+Up
xdotool type --delay 100 'ã'
keys_arrived() {
  if [ "$mode" = demo ]; then
    keys=$(grep -x -E '0 59|0 113|227' "$log" | tr '\n' '|')
    expected='0 59|0 113|227|'
  else
    keys=$(grep -E '^(KeyDown (112|38)|Char 227) ' "$log" | cut -d' ' -f1-5 | tr '\n' '|')
    expected='KeyDown 112 0 0 0|KeyDown 38 0 1 0|Char 227 0 0 0|'
  fi
  [ "$keys" = "$expected" ]
}
# xdotool types ã by binding it to a spare key for a moment; a program
# slowed down by a loaded machine may look the key up after the binding is
# gone and find no character there. That race is the typing tool's, so ã is
# typed again (at most twice) when everything but it arrived.
for _ in 1 2; do
  wait_until 10 keys_arrived && break
  without_a=${expected%%227*}
  [ "$keys" = "${without_a%Char }" ] || break
  echo "ã did not arrive; typed again"
  xdotool type --delay 100 'ã'
done
keys_arrived && pass "F1, Ctrl+Up and typed ã arrive" ||
  fail "keys: got '$keys', expected '$expected'"

# new_lines COPY: the log lines written after the copy was taken.
new_lines() { tail -n +"$(($(wc -l <"$1") + 1))" "$log"; }
# right_alt_keys EXPECTED: the key-down and character messages since
# before-ralt, other than those of the modifiers themselves.
right_alt_keys() {
  got=$(new_lines "$work/before-ralt" | grep -E '^(KeyDown|SysKeyDown|Char) ' |
    grep -v -E '^(KeyDown|SysKeyDown) (16|17|18) ' | cut -d' ' -f1-5 | tr '\n' '|')
  [ "$got" = "$1" ]
}

# Dead keys and the ABNT2 layout (probe only: its log shows every message).
# The probe is connected while the layout changes, so the server keeps it.
if [ "$mode" = probe ] && setxkbmap -layout br -variant abnt2 2>/dev/null; then
  sleep 0.5
  cp "$log" "$work/before-dead"
  xdotool key --delay 100 dead_tilde a dead_acute e ccedilla
  dead_keys_arrived() {
    got=$(new_lines "$work/before-dead" | grep '^Char ' | cut -d' ' -f2 | tr '\n' ' ')
    [ "$got" = "227 233 231 " ]
  }
  wait_until 10 dead_keys_arrived && pass "ABNT2 dead keys give ã é ç" ||
    fail "ABNT2 dead keys: got '$got', expected '227 233 231 '"
  # Right Alt (key code 108) is AltGr here: Ctrl+Alt, and its "/" passes.
  cp "$log" "$work/before-ralt"
  xdotool keydown 108 key q keyup 108
  expected='KeyDown 81 0 1 1|Char 47 0 1 1|'
  wait_until 10 right_alt_keys "$expected" && pass "Right Alt+Q on br is AltGr: /" ||
    fail "Right Alt+Q on br: got '$got', expected '$expected'"
  setxkbmap -layout us 2>/dev/null
  sleep 0.5
  # On the US layout it is a second Alt: Alt+A goes to the system, no text.
  cp "$log" "$work/before-ralt"
  xdotool keydown 108 key a keyup 108
  expected='SysKeyDown 65 0 0 1|'
  wait_until 10 right_alt_keys "$expected" && pass "Right Alt+A on us is Alt" ||
    fail "Right Alt+A on us: got '$got', expected '$expected'"
elif [ "$mode" = probe ]; then
  fail "setxkbmap cannot set the br layout"
fi

# Keys whose text X and the platform of the key tables disagree on: Alt+A
# and Ctrl+Alt+0 bring no character, Ctrl+C brings 3, Ctrl+Pause is Break.
if [ "$mode" = probe ]; then
  cp "$log" "$work/before-mods"
  xdotool key --delay 100 ctrl+Pause alt+a ctrl+alt+0 ctrl+c
  mod_keys_arrived() {
    got=$(tail -n +"$(($(wc -l <"$work/before-mods") + 1))" "$log" |
      grep -E '^(KeyDown|SysKeyDown|Char) ' | grep -v -E '^(KeyDown|SysKeyDown) (16|17|18) ' |
      cut -d' ' -f1-5 | tr '\n' '|')
    [ "$got" = "KeyDown 3 0 1 0|SysKeyDown 65 0 0 1|KeyDown 48 0 1 1|KeyDown 67 0 1 0|Char 3 0 1 0|" ]
  }
  wait_until 10 mod_keys_arrived && pass "Ctrl+Break, Alt+A, Ctrl+Alt+0, Ctrl+C" ||
    fail "modified keys: got '$got'"
fi

# Scrolling by pixel copy: three lines up, the red cell goes from row 5 to
# row 2 and the banner leaves the screen.
if [ "$mode" = probe ]; then
  xdotool key F5
  scrolled() {
    shot "$work/scrolled.png" &&
      [ "$(pixel "$work/scrolled.png" 94 $((2 * 22 + 11)))" = "#FF0000" ] &&
      [ "$(pixel "$work/scrolled.png" 94 $((5 * 22 + 11)))" = "#000000" ] &&
      [ "$(pixel "$work/scrolled.png" 13 11)" = "#000000" ]
  }
  wait_until 10 scrolled && pass "scrolled three lines" || fail "scrolled picture wrong"
  xdotool key F6
  wait_until 10 banner_shown || fail "picture not drawn again after scrolling"
fi

# ---- magnifier: right button held near the banner enlarges it, release restores
# The screen settles first (the demo echoes the keys).
sleep 0.5
shot "$work/before.png"
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
xdotool mousemove --window "$wid" 100 15
sleep 0.3
xdotool mousedown 3
magnified() {
  shot "$work/magnified.png"
  changed=$(differing "$work/before.png" "$work/magnified.png")
  [ "${changed%.*}" -gt 500 ] 2>/dev/null
}
wait_until 10 magnified
xdotool mouseup 3
restored_view() {
  shot "$work/after.png"
  restored=$(differing "$work/before.png" "$work/after.png")
  [ "$restored" = 0 ]
}
wait_until 10 restored_view
[ "${changed%.*}" -gt 500 ] 2>/dev/null && pass "magnifier changes $changed pixels" ||
  fail "magnifier changed '$changed' pixels"
[ "$restored" = 0 ] && pass "picture restored on release" ||
  fail "after release '$restored' pixels differ"
# Twice as large from (50, 8): the banner's last pixel row (y 21) now lies
# at y 26, in the second text row, which is black in the normal view.
row_has_blue() { # image y
  convert "$1" -crop "720x1+0+$2" +repage -depth 8 -format %c histogram:info:- | grep -qi "#0000FF"
}
if row_has_blue "$work/magnified.png" 26 && ! row_has_blue "$work/before.png" 26; then
  pass "banner magnified twice"
else
  fail "magnified banner does not reach y 26"
fi

# ---- the spoken editor and the desktop's clipboard (demo): text typed with
# real key events, part of it selected with Shift+Left and copied with
# Ctrl+Insert is read back from the X clipboard; a text put there by another
# program (with a character that has no cp1252 form) is pasted with
# Shift+Insert.
if [ "$mode" = demo ]; then
  command -v xclip >/dev/null || fail "xclip missing (scripts/install-deps.sh)"
  clip=
  clipboard_is() {
    clip=$(timeout 3 xclip -o -selection clipboard 2>/dev/null)
    [ "$clip" = "$1" ]
  }
  xdotool key --delay 100 F4
  xdotool type --delay 100 'abc def'
  # Shift is held down for the three Lefts: pressed with each, it may reach the
  # program after its Left on a loaded machine, which then only moves.
  xdotool keydown shift sleep 0.3 key --delay 150 Left Left Left sleep 0.3 keyup shift
  xdotool key --delay 100 ctrl+Insert
  wait_until 20 clipboard_is "def" && pass "Shift+Left selection copied to the X clipboard" ||
    fail "X clipboard holds '$clip', expected 'def'"
  printf 'colado \342\234\223' | xclip -i -selection clipboard
  xdotool key --delay 100 End shift+Insert Return
  wait_until 20 grep -qx 'texto: abc defcolado ?' "$log" && pass "X clipboard pasted with Shift+Insert" ||
    fail "edited line: $(grep '^texto' "$log")"
fi

# Braille mode (demo), last, as its keys fill the screen: Ctrl+Shift+F11
# turns it on, F and D together type "b", Ctrl+Shift+F12 turns it off.
# (Ctrl+Alt+F11/F12 never reach a window on an X server, this one
# included: they switch virtual terminals.) A mode changes once its
# tones are over, and keys typed meanwhile count in the old mode, so each
# change is awaited by typing a letter until it comes out as the new mode
# has it: a space (an empty chord) in Braille mode, itself otherwise.
last_key() { [ "$(tail -n 1 "$log")" = "$1" ]; }
type_until() { # KEY CODE
  for _ in $(seq 30); do
    xdotool key "$1"
    wait_until 1 last_key "$2" && return 0
  done
  return 1
}
chord() { # KEYS...: pressed together, then released
  local k
  for k in "$@"; do xdotool keydown "$k"; done
  for k in "$@"; do xdotool keyup "$k"; done
}
braille_chord() {
  xdotool key ctrl+shift+F11
  type_until q 32 || return 1
  chord f d
  wait_until 5 last_key 98 || return 1
  xdotool key ctrl+shift+F12
  type_until x 120
}
if [ "$mode" = demo ]; then
  braille_chord && pass "Ctrl+Shift+F11, chord F D types b, Ctrl+Shift+F12" ||
    fail "Braille mode keys; the log ends '$(tail -n 3 "$log" | tr '\n' '|')'"
fi

# ---- Esc ends the program normally
xdotool key Escape
status=
for _ in $(seq 100); do
  if ! kill -0 "$app_pid" 2>/dev/null; then
    wait "$app_pid"
    status=$?
    break
  fi
  sleep 0.1
done
app_pid=
[ "$status" = 0 ] && pass "Esc ends with exit code 0" || fail "exit status '${status:-still running}'"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; log:"
  cat "$log"
  exit 1
fi
echo "all window checks passed"
