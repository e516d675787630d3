#!/usr/bin/env bash
# The Debian package from a built tree: cpack makes it, apt-get installs it
# into this machine, the installed programs must work from there, and
# apt-get removes it again.
#   package_test.sh [BUILD_DIR]   (default: build)
# Exit status 0 passed, 1 failed, 77 skipped (not root and no sudo).
set -u
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
work="$build/package-test"
# shellcheck source=tests/check_helpers.sh
source "$repo/tests/check_helpers.sh"
# shellcheck source=tests/package/installed_checks.sh
source "$repo/tests/package/installed_checks.sh"
start=$(date +%s)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo_cmd=(sudo -n)
  else
    echo "SKIPPED: the package test installs into the system and needs root or passwordless sudo"
    exit 77
  fi
fi
apt() { "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

rm -rf "$work"
mkdir -p "$work"
if ! (cd "$build" && cpack -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1; then
  tail -n 30 "$work/cpack.log"
  echo "FAIL: cpack -G DEB"
  exit 1
fi
debs=("$work"/deb/lamina_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: cpack made no lamina_*.deb"; exit 1; }
deb=${debs[0]}
pass "built $(basename "$deb") ($(du -k "$deb" | cut -f1) KB) in $(($(date +%s) - start)) s"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libsdl2 libespeak-ng libzip libgsf fonts-dejavu-core; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done
grep -q speech-dispatcher <<<"$(dpkg-deb -f "$deb" Recommends)" ||
  fail "speech-dispatcher is not recommended"

# Whatever happens, the machine is left without the package.
trap 'apt remove -y lamina >/dev/null 2>&1' EXIT
# The recommended packages are left out so that the test needs no download.
if apt install -y --no-install-recommends "$deb" >"$work/install.log" 2>&1; then
  pass "apt-get install ./$(basename "$deb")"
  check_installed /usr "$repo"
  # man finds the pages by name once installed, the Portuguese one too.
  man -w lamina >/dev/null 2>&1 && pass "man lamina" || fail "man lamina finds no page"
  [ "$(man -w -L pt_BR lamina 2>/dev/null)" = /usr/share/man/pt_BR/man1/lamina.1.gz ] ||
    fail "man -L pt_BR lamina does not find the Portuguese page"
else
  tail -n 20 "$work/install.log"
  fail "apt-get install ./$(basename "$deb")"
fi

if apt remove -y lamina >"$work/remove.log" 2>&1; then
  if dpkg-query -W -f='${Status}' lamina 2>/dev/null | grep -q 'ok installed' ||
     [ -e /usr/bin/lamina ] || [ -e /usr/share/lamina ]; then
    fail "lamina is still installed after apt-get remove"
  else
    pass "apt-get remove lamina"
  fi
else
  fail "apt-get remove lamina: $(tail -n 5 "$work/remove.log")"
fi
trap - EXIT

echo "package test: $failures failed, $(($(date +%s) - start)) s"
exit $((failures > 0))
