# shellcheck shell=bash
# Sourced by the install and package tests: what an installed tree must do,
# run from a scratch folder with no build tree around and no LAMINA_DATA_DIR,
# so the programs find their data only where they were installed.
# The sourcing script has sourced tests/check_helpers.sh and set $work.

# check_installed PREFIX REPO: PREFIX is where bin/ and share/ were installed;
# REPO the source tree (for the shared corpus when no example is installed).
check_installed() {
  local prefix=$1 repo=$2
  local bin="$prefix/bin" share="$prefix/share"
  # A scratch folder outside any build tree.
  local run
  run=$(mktemp -d)
  mkdir -p "$run/oralis"
  (
    cd "$run" || exit 1
    failures=0
    unset LAMINA_DATA_DIR LAMINA_LOG
    export ORALIS_DIR="$run/oralis" SDL_AUDIODRIVER=dummy LANG=C.UTF-8 LC_ALL=C.UTF-8

    for f in lamina lamina-say lamina-play lamina-pho lamina-phonemes lamina-voicedata; do
      [ -x "$bin/$f" ] || fail "$bin/$f is not installed"
    done
    for f in difones/DIFONES2.IND difones/DIFONES2.DIF difones/regras.rgr difones/portug.exc \
             mbrola/portug.nrl; do
      [ -s "$share/lamina/$f" ] || fail "$share/lamina/$f is not installed"
    done
    ls "$share/lamina/letras/"*.wav >/dev/null 2>&1 || fail "no recorded sounds in $share/lamina/letras"
    [ -f "$share/icons/hicolor/scalable/apps/lamina.svg" ] || fail "the icon is not installed"

    # --version names the project's version; --help is Portuguese and lists
    # every option.
    local version
    version=$("$bin/lamina" --version) || fail "lamina --version failed"
    [[ "$version" =~ ^lamina\ [0-9]+\.[0-9]+ ]] && pass "--version: $version" ||
      fail "--version printed '$version'"
    local help
    help=$("$bin/lamina" --help) || fail "lamina --help failed"
    for o in --batch -o --utf8 --demo-console --console=sdl --console=terminal --console=headless --screen-dump \
             --key-log --log --help --version "Op\xc3\xa7\xc3\xb5es"; do
      grep -q -- "$(printf '%b' "$o")" <<<"$help" || fail "--help does not mention $o"
    done

    # The example presentation when installed, else a small one of the corpus,
    # whose text must then be the expected one.
    local pres expected=
    if [ -f "$share/lamina/examples/aula-exemplo.pptx" ]; then
      cp "$share/lamina/examples/aula-exemplo.pptx" .
      pres=aula-exemplo.pptx
    else
      cp "$repo/../shared/corpus/files/copy-slide-demo.pptx" .
      pres=copy-slide-demo.pptx
      expected="$repo/../shared/corpus/expected/copy-slide-demo.pptx.txt"
    fi
    if "$bin/lamina" --batch "$pres" 2>"$work/batch.err"; then
      if ! head -n 1 "$pres.TXT" | grep -q $'^Apresenta\xe7\xe3o: .*'"$pres"; then
        fail "--batch wrote no header line for $pres"
      elif [ "$(wc -l <"$pres.TXT")" -lt 3 ]; then
        fail "--batch wrote no slide of $pres"
      elif [ -n "$expected" ] && ! cmp -s <(tail -n +2 "$pres.TXT") <(tail -n +2 "$expected"); then
        fail "the text of $pres differs from the expected one"
      else
        pass "lamina --batch $pres ($(wc -l <"$pres.TXT") lines)"
      fi
    else
      fail "lamina --batch $pres failed: $(cat "$work/batch.err")"
    fi

    if "$bin/lamina-say" --wav say.wav "Bom dia, 42 apresentações."; then
      local stats length rms
      stats=$(sox say.wav -n stat 2>&1)
      length=$(awk '/^Length/ {print $3}' <<<"$stats")
      rms=$(awk '/^RMS +amplitude/ {print $3}' <<<"$stats")
      if awk -v l="$length" -v r="$rms" 'BEGIN {exit !(l >= 1.5 && r >= 0.03)}'; then
        pass "lamina-say --wav: ${length}s, RMS $rms"
      else
        fail "lamina-say --wav wrote ${length}s at RMS $rms, not speech"
      fi
    else
      fail "lamina-say --wav failed"
    fi

    # Both manual pages render without warnings and carry what they promise.
    local page text before=$failures
    for page in "$share/man/man1/lamina.1.gz|EXIT STATUS|ORALIS.INI|SCREEN REVIEW" \
                "$share/man/pt_BR/man1/lamina.1.gz|CÓDIGOS DE SAÍDA|ORALIS.INI|REVISÃO DA TELA"; do
      IFS='|' read -r -a want <<<"$page"
      if ! text=$(MANWIDTH=80 man --warnings -l "${want[0]}" 2>"$work/man.err"); then
        fail "man -l ${want[0]} failed"
        continue
      fi
      [ -s "$work/man.err" ] && fail "man -l ${want[0]}: $(cat "$work/man.err")"
      for w in "${want[@]:1}"; do
        grep -q "$w" <<<"$text" || fail "${want[0]} has no '$w'"
      done
      zcat "${want[0]}" | grep -q "^\.TH .*\"lamina ${version#lamina }\"" ||
        fail "${want[0]} is not of version ${version#lamina }"
    done
    [ "$failures" -eq "$before" ] && pass "man -l on both pages"

    local desktop="$share/applications/lamina.desktop"
    if [ ! -f "$desktop" ]; then
      fail "the desktop entry is not installed"
    elif command -v desktop-file-validate >/dev/null; then
      desktop-file-validate "$desktop" && pass "desktop entry valid" || fail "desktop entry invalid"
    fi
    exit "$failures"
  ) || failures=$((failures + $?))
  rm -rf "$run"
}
