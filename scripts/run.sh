#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it with the given
# arguments (a presentation file, or --demo-console, or --batch ...).
# Without arguments the program starts in a scratch folder holding a copy of
# the example presentation, so its list offers that file and the text is
# written there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
./scripts/install-deps.sh
./scripts/build.sh build -DLAMINA_TESTS=OFF -DLAMINA_BENCH=OFF >build.log 2>&1 || { tail -n 40 build.log; exit 1; }
if [ "$#" -gt 0 ]; then
  exec ./build/app/lamina "$@"
fi
scratch=$(mktemp -d -t lamina-exemplo.XXXXXX)
cp data/examples/aula-exemplo.pptx "$scratch/"
echo "lamina: pasta de trabalho $scratch"
cd "$scratch"
exec "$root/build/app/lamina"
