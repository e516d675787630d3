#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Safe to run again: apt-get skips what is already there.
# Only packages something in the tree uses are listed; the work that first
# needs another one adds it here.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  g++ clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libgmock-dev
  libsdl2-dev libsdl2-ttf-dev libfontconfig-dev libx11-dev fonts-dejavu-core
  # The console in a text terminal, and the terminal its tests run it in.
  libncurses-dev tmux
  libgsf-1-dev libzip-dev libpugixml-dev
  libespeak-ng-dev espeak-ng espeak-ng-data wbrazilian
  libspeechd-dev speech-dispatcher speech-dispatcher-espeak-ng
  speech-dispatcher-audio-plugins libao4
  xvfb xauth xdotool xclip x11-utils x11-xkb-utils imagemagick sox catdoc
  # The Debian package and its test: cpack's shared-library dependencies
  # (dpkg-shlibdeps, file), the manual pages, the desktop entry's check.
  dpkg-dev file man-db desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
