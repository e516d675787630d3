#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it with the given
# arguments (a presentation file, or --demo-console, or --batch ...).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build -DLAMINA_TESTS=OFF -DLAMINA_BENCH=OFF >build.log 2>&1 || { tail -n 40 build.log; exit 1; }
exec ./build/app/lamina "$@"
