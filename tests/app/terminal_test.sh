#!/usr/bin/env bash
# The console in a text terminal: the real program in a tmux pane of its own
# server, typed with send-keys and read back with capture-pane. The demo's
# screen in text and colours against the console's own screen dump, key
# codes, a scroll, a pane too small and back, the terminal given back after
# SIGTERM, Ctrl+C, Esc and a crash; then the whole conversion.
#
#   terminal_test.sh LAMINA EXAMPLE_PPTX WORK_DIR
set -u
program=$(realpath "$1")
example=$(realpath "$2")
work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rm -rf "$work"
mkdir -p "$work/oralis"
work=$(realpath "$work")

# shellcheck source=tests/check_helpers.sh
source "$here/../check_helpers.sh"

command -v tmux >/dev/null || { echo "FAIL: tmux missing (scripts/install-deps.sh)"; exit 1; }
socket="lamina-term-$$"
tmx() { tmux -L "$socket" -f "$work/tmux.conf" "$@"; }
cleanup() { tmx kill-server 2>/dev/null; }
trap cleanup EXIT
cat >"$work/tmux.conf" <<'EOF'
set -g default-terminal tmux-256color
set -g remain-on-exit on
set -g history-limit 0
set -g status off
EOF

export ORALIS_DIR="$work/oralis" SDL_AUDIODRIVER=dummy LANG=C.UTF-8 LC_ALL=C.UTF-8
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
unset DISPLAY WAYLAND_DISPLAY

# start NAME ARGS...: the program in a new 80 x 25 window NAME, started by
# a shell that notes its process id, then its exit status and the terminal's
# modes once it has ended.
start() {
  local name=$1
  shift
  dir="$work/$name"
  mkdir -p "$dir/cwd"
  local args
  args=$(printf '%q ' "$program" "$@")
  cat >"$dir/run.sh" <<EOF
ulimit -c 0
cd $(printf %q "$dir/cwd")
sh -c 'echo \$\$ >"\$0"; exec "\$@"' $(printf %q "$dir/pid") $args
echo \$? >$(printf %q "$dir/status.tmp")
stty -a >$(printf %q "$dir/stty")
mv $(printf %q "$dir/status.tmp") $(printf %q "$dir/status")
exec sleep 600
EOF
  if [ -z "$(tmx list-sessions 2>/dev/null)" ]; then
    tmx new-session -d -s t -n "$name" -x 80 -y 25 "bash $dir/run.sh"
  else
    tmx new-window -t t -n "$name" "bash $dir/run.sh"
  fi
  pane="t:$name"
}
shows() { tmx capture-pane -p -t "$pane" | grep -qF -- "$1"; }
capture() { tmx capture-pane -p -e -N -t "$pane" >"$1"; }
ended() { [ -f "$dir/status" ]; }
logged() { [ "$(tr '\n' '|' <"$dir/keys")" = "$1" ]; }
# given_back NAME: after the program, the terminal echoes and reads lines
# again, the cursor shows and the console's screen is gone.
given_back() {
  local modes
  modes=$(cat "$dir/stty")
  if grep -qw -- -echo <<<"$modes" || grep -qw -- -icanon <<<"$modes" ||
    ! grep -qw -- isig <<<"$modes"; then
    fail "$1: terminal modes not restored: $(grep -o -- '-\?echo \|-\?icanon\|-\?isig' <<<"$modes" | tr '\n' ' ')"
  else
    pass "$1: echo, icanon and isig back"
  fi
  local state
  state=$(tmx display-message -p -t "$pane" '#{cursor_flag} #{alternate_on}')
  [ "$state" = "1 0" ] && pass "$1: cursor visible, the console's screen gone" ||
    fail "$1: cursor flag and alternate screen '$state'"
}
stop_with() { # SIGNAL NAME
  kill "-$1" "$(cat "$dir/pid")"
  if wait_until 30 ended; then
    [ "$(cat "$dir/status")" = 255 ] && pass "$2: exit status 255" ||
      fail "$2: exit status $(cat "$dir/status")"
  else
    fail "$2: the program did not end"
  fi
}

# ---- the demo: its first screen, keys, a pane too small and back, a scroll
start demo --console=terminal --demo-console --key-log "$work/demo/keys" --screen-dump "$work/demo/dump"
: >"$dir/keys"
if wait_until 60 shows "Esc: sair"; then
  pass "demo: the demo screen is shown"
else
  fail "demo: no demo screen"
  tmx capture-pane -p -t "$pane"
fi
capture "$dir/first"
grep -qF "LAMINA - console de demonstração" "$dir/first" && pass "demo: accented text in UTF-8" ||
  fail "demo: banner text not shown"
# The banner: yellow on blue in the 256 colours' cube.
grep -qF $'\e[38;5;226m\e[48;5;21m LAMINA' "$dir/first" ||
  grep -qE $'\e\\[[0-9;]*38;5;226[0-9;]*48;5;21m LAMINA' "$dir/first" &&
  pass "demo: banner yellow on blue" || fail "demo: banner colours: $(head -n 1 "$dir/first" | cat -v)"

tmx send-keys -t "$pane" F1
tmx send-keys -t "$pane" C-Up
tmx send-keys -t "$pane" -l 'ã'
wait_until 20 logged '0 59|0 113|227|' && pass "demo: F1, Ctrl+Up and ã give 0 59, 0 113, 227" ||
  fail "demo: keys logged '$(tr '\n' '|' <"$dir/keys")'"
tmx send-keys -t "$pane" S-Insert C-F1 Home
wait_until 20 logged '0 59|0 113|227|0 254|0 94|0 71|' && pass "demo: Shift+Insert, Ctrl+F1, Home" ||
  fail "demo: keys logged '$(tr '\n' '|' <"$dir/keys")'"

tmx resize-window -t "$pane" -x 60 -y 20
wait_until 20 shows "Terminal pequeno (60 x 20): o console precisa de 80 x 25" &&
  pass "demo: a 60 x 20 pane shows the notice" || fail "demo: no notice in a 60 x 20 pane"
tmx send-keys -t "$pane" F5
wait_until 20 logged '0 59|0 113|227|0 254|0 94|0 71|0 63|' && pass "demo: keys still read while small" ||
  fail "demo: keys logged '$(tr '\n' '|' <"$dir/keys")'"
tmx resize-window -t "$pane" -x 80 -y 25
back() { shows "tecla: 0 63" && ! shows "Terminal pequeno" && shows "LAMINA - console"; }
wait_until 20 back && pass "demo: back at 80 x 25 the whole screen is drawn again" ||
  fail "demo: screen after the resize: $(tmx capture-pane -p -t "$pane")"

tmx send-keys -t "$pane" F3
scrolled() { shows "Linha 30 eeee" && ! shows "LAMINA - console"; }
wait_until 30 scrolled && pass "demo: F3 scrolled 30 lines" || fail "demo: no scroll"
sleep 0.5
capture "$dir/scrolled"
stop_with TERM "demo: SIGTERM"
if python3 "$here/terminal_screen.py" "$dir/scrolled" "$dir/dump" 0f=231,16 >"$dir/compare"; then
  pass "demo: the scrolled pane matches the console in text and colours"
else
  fail "demo: pane and console differ:"
  cat "$dir/compare"
fi
given_back "demo: SIGTERM"

# ---- Ctrl+C is the terminal's Break: 255, and the terminal given back.
# No --console: without a display, a terminal gets the console itself. The
# first screen, with its line of colours, is the console's in text and
# colours.
start break --demo-console --screen-dump "$work/break/dump"
wait_until 60 shows "Esc: sair" || fail "break: no demo screen"
sleep 0.5
capture "$dir/first"
tmx send-keys -t "$pane" C-c
if wait_until 30 ended; then
  [ "$(cat "$dir/status")" = 255 ] && pass "break: Ctrl+C ends with 255" ||
    fail "break: exit status $(cat "$dir/status")"
  given_back "break: Ctrl+C"
  if python3 "$here/terminal_screen.py" "$dir/first" "$dir/dump" 0f=231,16 >"$dir/compare"; then
    pass "break: the first screen and its colour line match the console in text and colours"
  else
    fail "break: pane and console differ:"
    cat "$dir/compare"
  fi
else
  fail "break: Ctrl+C did not end the program"
fi

# ---- Esc alone (after the terminal's escape time) ends the demo in order
start esc --console=terminal --demo-console
wait_until 60 shows "Esc: sair" || fail "esc: no demo screen"
tmx send-keys -t "$pane" Escape
if wait_until 30 ended; then
  [ "$(cat "$dir/status")" = 0 ] && pass "esc: Esc ends the demo with 0" ||
    fail "esc: exit status $(cat "$dir/status")"
  given_back "esc: Esc"
else
  fail "esc: Esc did not end the demo"
fi

# ---- a crash gives the terminal back too, and still ends as the crash
start crash --console=terminal --demo-console
wait_until 60 shows "Esc: sair" || fail "crash: no demo screen"
kill -SEGV "$(cat "$dir/pid")"
if wait_until 30 ended; then
  [ "$(cat "$dir/status")" = 139 ] && pass "crash: SIGSEGV still ends the program (139)" ||
    fail "crash: exit status $(cat "$dir/status")"
  given_back "crash: SIGSEGV"
else
  fail "crash: the program did not end"
fi

# ---- the conversion: the prompt, the list opened with Down, Enter on the
# file, Enter on the output name, the end.
start sequence --console=terminal --screen-dump "$work/sequence/dump"
cp "$example" "$dir/cwd/aula.pptx"
wait_until 60 shows "Informe o arquivo PPT ou PPS a ler:" && pass "sequence: the input prompt" ||
  fail "sequence: no input prompt: $(tmx capture-pane -p -t "$pane")"
shows "LAMINA - v1.0 alfa" && pass "sequence: the banner" || fail "sequence: no banner"
tmx send-keys -t "$pane" Down
wait_until 30 shows "aula.pptx" && pass "sequence: the list shows aula.pptx" ||
  fail "sequence: no list"
tmx send-keys -t "$pane" Enter
wait_until 60 shows "Informe o arquivo TXT de destino:" && pass "sequence: the output prompt" ||
  fail "sequence: no output prompt"
tmx send-keys -t "$pane" Enter
if wait_until 120 ended; then
  [ "$(cat "$dir/status")" = 0 ] && pass "sequence: exit status 0" ||
    fail "sequence: exit status $(cat "$dir/status")"
  grep -qF "Fim da conversão" "$dir/dump" && pass "sequence: Fim da conversão" ||
    fail "sequence: the end not announced: $(head -n 25 "$dir/dump")"
  given_back sequence
else
  fail "sequence: the program did not end"
fi
out="$dir/cwd/aula.pptx.TXT"
if [ -f "$out" ] && iconv -f CP1252 -t UTF-8 "$out" | grep -q "Evaporação: o sol aquece"; then
  pass "sequence: aula.pptx.TXT holds the slides' text"
else
  fail "sequence: no aula.pptx.TXT with the slides' text"
fi

echo "$failures failure(s)"
[ "$failures" = 0 ]
