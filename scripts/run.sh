#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it with the given
# arguments (a presentation file, or --demo-console, or --batch ...).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build -DLAMINA_TESTS=OFF -DLAMINA_BENCH=OFF >/dev/null
exec ./build/app/lamina "$@"
