#!/usr/bin/env bash
# Include boundaries of the libraries: check-layers.sh [SOURCE_DIR]
#
# Every library folder may include only its own headers and those of the
# folders listed for it below, so that the dependencies run one way only:
# platform at the bottom, then console, wave, presentation and diphone, then
# speech, numbers, chooser, converter and the engines, then the program and
# its tools. Besides:
# - a header named *_internal.h belongs to its folder: only that folder and
#   the tests include it;
# - only platform/ includes SDL or the system's own headers.
# Prints one line per violation and fails; the build runs this before any
# library is compiled, and so does the test command.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# folder: the folders it may include besides itself. tests/, bench/ and
# fuzz/ may include everything.
layers='
platform:
console: platform
wave: platform
presentation: platform
diphone: platform wave
speech: platform console wave diphone numbers
numbers: platform console wave diphone
chooser: platform console wave diphone numbers speech
mbrola_tts: platform wave speech
sapi: platform wave speech
converter: platform console wave presentation diphone speech numbers chooser
app: platform console wave presentation diphone speech numbers chooser converter mbrola_tts sapi
tools: platform console wave presentation diphone speech numbers chooser converter mbrola_tts sapi tools
'

# The sources git knows of (new files too), or every source outside build
# trees when this is no git checkout.
list_sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -co --exclude-standard -- '*.h' '*.cpp'
  else
    # Build trees (any folder holding a CMakeCache.txt) are left out.
    for dir in */; do
      dir=${dir%/}
      [ -e "$dir/CMakeCache.txt" ] && continue
      find "$dir" \( -name '*.h' -o -name '*.cpp' \) -print
    done
  fi
}
files=()
while IFS= read -r f; do [ -f "$f" ] && files+=("$f"); done < <(list_sources)
[ "${#files[@]}" -gt 0 ] || { echo "check-layers: no sources under $root" >&2; exit 1; }

awk -v layers="$layers" '
BEGIN {
  n = split(layers, rows, "\n")
  for (i = 1; i <= n; i++) {
    if (rows[i] !~ /:/) continue
    split(rows[i], kv, ":")
    known[kv[1]] = 1
    allowed[kv[1] SUBSEP kv[1]] = 1
    m = split(kv[2], deps, " ")
    for (j = 1; j <= m; j++) allowed[kv[1] SUBSEP deps[j]] = 1
  }
  free["tests"] = free["bench"] = free["fuzz"] = 1
  bad = 0
}
FNR == 1 {
  folder = FILENAME
  sub(/\/.*/, "", folder)
  if (folder == FILENAME) folder = ""
  if (folder != "" && !(folder in known) && !(folder in free) && !(folder in reported)) {
    reported[folder] = 1
    printf "%s: folder %s has no line in the layer table of scripts/check-layers.sh\n",
           FILENAME, folder
    bad = 1
  }
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
  target = $0
  sub(/^[^"]*"/, "", target)
  sub(/".*/, "", target)
  if (target !~ /\//) next
  to = target
  sub(/\/.*/, "", to)
  if (target ~ /_internal\.h$/ && to != folder && folder != "tests") {
    printf "%s:%d: %s is internal to %s/\n", FILENAME, FNR, target, to
    bad = 1
  } else if (folder in known && !(folder SUBSEP to in allowed)) {
    printf "%s:%d: %s/ may not include %s (a layer above or beside it)\n",
           FILENAME, FNR, folder, target
    bad = 1
  }
  next
}
/^[ \t]*#[ \t]*include[ \t]*<(SDL|unistd\.h|fcntl\.h|poll\.h|pthread\.h|dlfcn\.h|sys\/|X11\/)/ {
  if (folder in known && folder != "platform") {
    printf "%s:%d: only platform/ includes system headers: %s\n", FILENAME, FNR, $0
    bad = 1
  }
}
END { exit bad }
' "${files[@]}" || {
  echo "check-layers: include boundary violated (table in scripts/check-layers.sh)" >&2
  exit 1
}
