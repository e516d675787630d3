#!/usr/bin/env bash
# Configures and builds one build tree: build.sh DIR [cmake options...]
set -euo pipefail
dir=$1
shift
cmake -S . -B "$dir" -G Ninja "$@"
cmake --build "$dir" -j "$(nproc)"
