#!/usr/bin/env bash
# The talking conversion end to end: the real program on the headless
# console, keys from a script, sound through SDL's disk driver and the screen
# from --screen-dump, for the normal path and every failure.
#
#   sequence_test.sh LAMINA EXAMPLE_PPTX WORK_DIR [ENCRYPTED_PPT]
#
# SEQUENCE_PART=N runs one part: 1 the normal paths and those that end at
# the name, 2 those whose output cannot be made, 3 those whose presentation
# cannot be read or written out; unset, all. The paths wait on real-time
# sound, so parts run side by side take less time.
set -u
program=$(realpath "$1")
example=$(realpath "$2")
work=$3
encrypted=${4:-}
rm -rf "$work"
mkdir -p "$work/oralis"
export ORALIS_DIR="$work/oralis" SDL_AUDIODRIVER=disk LANG=C.UTF-8 LC_ALL=C.UTF-8
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# part N: whether this run takes the paths of part N.
part() { [ -z "${SEQUENCE_PART:-}" ] || [ "$SEQUENCE_PART" = "$1" ]; }

reader=
cleanup() {
  [ -n "$reader" ] && kill "$reader" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

# run NAME KEYS [ARG]: runs the program in $work/NAME (the current
# directory), typing KEYS; standard input stays open until the program ends,
# since the end of a key script closes the console. The device writes each
# opening of the sound device into a FIFO; every opening is kept as one
# numbered segment in $dir/sound.
run() {
  dir="$work/$1"
  mkdir -p "$dir/sound"
  mkfifo "$dir/disk" "$dir/keys"
  (
    i=0
    while [ ! -e "$dir/done" ]; do
      cat "$dir/disk" >"$dir/sound/$(printf %03d $i)" || break
      i=$((i + 1))
    done
  ) &
  reader=$!
  (
    # $limit: the largest file the program may write, in KiB.
    if [ -n "${limit:-}" ]; then
      trap '' XFSZ
      ulimit -f "$limit"
    fi
    cd "$dir/cwd" &&
      SDL_DISKAUDIOFILE="$dir/disk" timeout 120 "$program" --console=headless \
        --screen-dump "$dir/screen" ${3+"$3"} <"$dir/keys" >"$dir/out" 2>&1
  ) &
  local pid=$!
  exec 7>"$dir/keys"
  printf '%s' "$2" >&7
  wait "$pid"
  status=$?
  exec 7>&-
  # The reader still waiting for the device to open gets an end of file.
  touch "$dir/done"
  exec 8<>"$dir/disk"
  sleep 0.2
  exec 8>&-
  wait "$reader" 2>/dev/null
  reader=
  screen=$(head -n 25 "$dir/screen" 2>/dev/null)
  [ "$status" = 0 ] || fail "$1: exit status $status"
}

# sounds: how many samples of all openings are not silence (8-bit or
# 16-bit), which tells a spoken prompt (over 10 000) from the beeps alone
# (under 1 600).
sounds() {
  python3 - "$dir/sound" <<'PY'
import os, sys
d = sys.argv[1]
n = 0
for name in os.listdir(d):
    data = open(os.path.join(d, name), 'rb').read()
    n += sum(1 for b in data if b not in (0, 0x7F, 0x80, 0xFF))
print(n)
PY
}

expect_screen() {
  grep -qF -- "$2" <<<"$screen" && pass "$1: shows '$2'" || fail "$1: no '$2' on the screen"
}
expect_sounds() {
  local n
  n=$(sounds)
  [ "$n" -ge "$2" ] && pass "$1: $n samples of sound" || fail "$1: $n samples of sound, $2 expected"
}

if part 1; then
# ---- the normal path: the name on the command line, the empty answer.
mkdir -p "$work/normal/cwd"
cp "$example" "$work/normal/cwd/aula.pptx"
run normal $'\n' aula.pptx
expect_screen normal "LAMINA - v1.0 alfa"
expect_screen normal "Informe o arquivo TXT de destino:"
expect_screen normal "Fim da conversão"
attrs=$(sed -n 26p "$dir/screen")
[ "${attrs:0:1}" = 1 ] && pass "normal: the banner stands on blue" || fail "normal: banner colours $attrs"
out="$work/normal/cwd/aula.pptx.TXT"
if [ -f "$out" ]; then
  head -n 1 "$out" | grep -qF "$work/normal/cwd/aula.pptx" && pass "normal: header names the full path" ||
    fail "normal: header $(head -n 1 "$out")"
  iconv -f CP1252 -t UTF-8 "$out" | grep -q "Evaporação: o sol aquece" && pass "normal: bullets in cp1252" ||
    fail "normal: bullet text missing"
  iconv -f CP1252 -t UTF-8 "$out" | grep -q "ALT: Desenho do ciclo" && pass "normal: alternative text" ||
    fail "normal: picture text missing"
  grep -q $'\r$' "$out" && pass "normal: CR LF lines" || fail "normal: lines without CR"
else
  fail "normal: no aula.pptx.TXT"
fi
cmp -s "$example" "$work/normal/cwd/aula.pptx" || fail "normal: the presentation changed"
# The output prompt and the closing message are both spoken.
expect_sounds normal 25000

# ---- a recording named after the key replaces the synthesized closing.
mkdir -p "$work/recorded/cwd"
cp "$example" "$work/recorded/cwd/aula.pptx"
sox -n -r 11025 -b 8 -c 1 -e unsigned-integer "$work/recorded/cwd/LMFIMAPR.wav" synth 0.5 square 500
sox "$work/recorded/cwd/LMFIMAPR.wav" -t raw "$work/recorded/expected.raw"
run recorded $'notas\n' aula.pptx
expect_screen recorded "Fim da conversão"
[ -f "$work/recorded/cwd/notas" ] && pass "recorded: 'notas' kept as typed" || fail "recorded: no 'notas'"
python3 - "$work/recorded/expected.raw" "$dir/sound" <<'PY' && pass "recorded: LMFIMAPR.wav played" || fail "recorded: the recording was not played"
import os, sys
want = open(sys.argv[1], 'rb').read()[1000:3000]
d = sys.argv[2]
sys.exit(0 if any(want in open(os.path.join(d, f), 'rb').read() for f in os.listdir(d)) else 1)
PY

# ---- no name chosen: Esc on the chooser's line.
mkdir -p "$work/nochoice/cwd"
run nochoice $'{Esc}\n'
expect_screen nochoice "Informe o arquivo PPT ou PPS a ler:"
expect_screen nochoice "Desistiu"
expect_sounds nochoice 25000

# ---- the name picked from the spoken list: Down opens the list of the
# presentations in the folder (other files are not listed), Enter picks the
# entry, the empty answer names the output after it.
mkdir -p "$work/pick/cwd"
cp "$example" "$work/pick/cwd/aula.pptx"
: >"$work/pick/cwd/leia-me.txt"
run pick $'{Down}\n\n'
expect_screen pick "aula.pptx"
expect_screen pick "Fim da conversão"
[ -f "$work/pick/cwd/aula.pptx.TXT" ] && pass "pick: aula.pptx.TXT written" ||
  fail "pick: no aula.pptx.TXT"
expect_sounds pick 25000

# ---- names that are no presentation file: "Arquivo inexistente".
mkdir -p "$work/targets"
mkfifo "$work/targets/fila.ppt"
ln -s "$work/targets/nada.ppt" "$work/targets/quebrado.ppt"
mkdir -p "$work/targets/pasta.ppt"
long=$(printf 'a%.0s' $(seq 4000))
i=0
for name in "$work/targets/falta.pptx" "$work/targets/pasta.ppt" "$work/targets/fila.ppt" \
  "$work/targets/quebrado.ppt" "$work/targets/$long.ppt" $'\xe1\xe9.ppt'; do
  i=$((i + 1))
  mkdir -p "$work/missing$i/cwd"
  run "missing$i" '' "$name"
  expect_screen "missing$i" "Arquivo inexistente"
  expect_sounds "missing$i" 9000
  [ -z "$(ls -A "$work/missing$i/cwd")" ] || fail "missing$i: files left behind"
done

# ---- Esc ends the output name: "Desistiu", no file.
mkdir -p "$work/esc/cwd"
cp "$example" "$work/esc/cwd/aula.ppt"
run esc $'abc{Esc}\n' aula.ppt
expect_screen esc "Desistiu"
[ "$(ls "$work/esc/cwd")" = aula.ppt ] && pass "esc: nothing written" || fail "esc: files $(ls "$work/esc/cwd")"

fi

if part 2; then
# ---- outputs that cannot be made; the presentation stays as it was. The
# input has no extension, so the empty answer and a link to it name the
# presentation itself.
i=0
for answer in '' 'ligacao' "$work/targets/pasta.ppt.TXT" 'sem/pasta/saida.txt'; do
  i=$((i + 1))
  mkdir -p "$work/create$i/cwd"
  cp "$example" "$work/create$i/cwd/aula"
  ln -s aula "$work/create$i/cwd/ligacao"
  mkdir -p "$work/targets/pasta.ppt.TXT"
  run "create$i" "$answer"$'\n' aula
  expect_screen "create$i" "Erro ao criar o arquivo de saida"
  cmp -s "$example" "$work/create$i/cwd/aula" || fail "create$i: the presentation changed"
  expect_sounds "create$i" 25000
  [ "$(ls -A "$work/create$i/cwd" | tr '\n' ' ')" = "aula ligacao " ] ||
    fail "create$i: files $(ls -A "$work/create$i/cwd")"
done

# ---- a folder without write permission (root may write anywhere).
if [ "$(id -u)" != 0 ]; then
  mkdir -p "$work/readonly/cwd/fechada"
  cp "$example" "$work/readonly/cwd/aula.pptx"
  chmod 555 "$work/readonly/cwd/fechada"
  run readonly $'fechada/saida.txt\n' aula.pptx
  expect_screen readonly "Erro ao criar o arquivo de saida"
  [ -z "$(ls -A "$work/readonly/cwd/fechada")" ] || fail "readonly: files left behind"
  chmod 755 "$work/readonly/cwd/fechada"
else
  echo "skip: readonly: root may write into any folder"
fi

fi

if part 3; then
# ---- a file that is no presentation: announced, no output, an old output kept.
mkdir -p "$work/damaged/cwd"
head -c 3000 /dev/urandom >"$work/damaged/cwd/ruim.pptx"
printf 'antigo\r\n' >"$work/damaged/cwd/ruim.txt"
run damaged $'ruim.txt\n' ruim.pptx
expect_screen damaged "Erro ao ler a apresentação"
[ "$(cat "$work/damaged/cwd/ruim.txt")" = $'antigo\r' ] && pass "damaged: the old output kept" ||
  fail "damaged: the old output was changed"
expect_sounds damaged 25000
[ "$(ls -A "$work/damaged/cwd" | wc -l)" = 2 ] || fail "damaged: files $(ls -A "$work/damaged/cwd")"

# ---- a slide that cannot be read: the others are written, the user is told
# which one is empty before the closing message.
mkdir -p "$work/slide/cwd"
python3 - "$example" "$work/slide/cwd/aula.pptx" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as src, zipfile.ZipFile(sys.argv[2], 'w') as dst:
    for item in src.infolist():
        if item.filename != 'ppt/slides/slide2.xml':
            dst.writestr(item, src.read(item.filename))
PY
run slide $'\n' aula.pptx
expect_screen slide "slide 2 danificado; o texto dos demais foi gravado"
expect_screen slide "Fim da conversão"
iconv -f CP1252 -t UTF-8 "$work/slide/cwd/aula.pptx.TXT" 2>/dev/null | grep -q "Chuva média por estação" &&
  pass "slide: the other slides written" || fail "slide: the readable slides are missing"
expect_sounds slide 40000

# ---- a password-protected presentation: its own message, no output.
if [ -f "$encrypted" ]; then
  mkdir -p "$work/encrypted/cwd"
  cp "$encrypted" "$work/encrypted/cwd/senha.ppt"
  run encrypted $'\n' senha.ppt
  expect_screen encrypted "A apresentação está protegida por senha"
  expect_sounds encrypted 25000
  [ "$(ls -A "$work/encrypted/cwd")" = senha.ppt ] && pass "encrypted: no output left" ||
    fail "encrypted: files $(ls -A "$work/encrypted/cwd")"
else
  echo "skip: encrypted: no password-protected presentation at '$encrypted'"
fi

# ---- a full disk (no byte may be written): the recording of the message is
# heard, as the screen dump cannot be written either; no output is left.
mkdir -p "$work/full/cwd"
cp "$example" "$work/full/cwd/aula.pptx"
sox -n -r 11025 -b 8 -c 1 -e unsigned-integer "$work/full/cwd/LMERRGRA.wav" synth 0.5 square 700
sox "$work/full/cwd/LMERRGRA.wav" -t raw "$work/full/expected.raw"
limit=0 run full $'\n' aula.pptx
python3 - "$work/full/expected.raw" "$dir/sound" <<'PY' && pass "full: LMERRGRA.wav played" || fail "full: no write error announced"
import os, sys
want = open(sys.argv[1], 'rb').read()[1000:3000]
d = sys.argv[2]
sys.exit(0 if any(want in open(os.path.join(d, f), 'rb').read() for f in os.listdir(d)) else 1)
PY
[ "$(ls -A "$work/full/cwd" | tr '\n' ' ')" = "LMERRGRA.wav aula.pptx " ] && pass "full: no partial file" ||
  fail "full: files $(ls -A "$work/full/cwd")"
cmp -s "$example" "$work/full/cwd/aula.pptx" || fail "full: the presentation changed"

fi

echo "$failures failure(s)"
[ "$failures" = 0 ]
