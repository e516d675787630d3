#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the normal build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and a short run of
# every fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
echo "   installing took ${SECONDS}s"

# stage TITLE starts a stage of the run; took NAME says how long it lasted.
stage() {
  echo "== $1"
  started=$SECONDS
}
took() { echo "   $1 took $((SECONDS - started))s"; }

jobs=$(nproc)
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
fuzz_seconds=${LAMINA_FUZZ_SECONDS:-20}
status=0
passed=0
failed=0
# count LOG: adds a ctest run's totals to passed and failed.
count() {
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
  [ -n "$line" ] || { failed=$((failed + 1)); return; }
  bad=$(echo "$line" | sed -E 's/.*, ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

stage "include boundaries"
./scripts/check-layers.sh && passed=$((passed + 1)) || { status=1; failed=$((failed + 1)); }

stage "normal build"
./scripts/build.sh build -DLAMINA_TESTS=ON -DLAMINA_BENCH=ON -DLAMINA_SANITIZE=OFF
(cd build && ctest --output-on-failure -j "$jobs" | tee ctest.log; exit "${PIPESTATUS[0]}") || status=1
count build/ctest.log
took "normal build and tests"

stage "Debian package (from the normal build)"
package_status=0
./tests/package/package_test.sh build || package_status=$?
case $package_status in
  0) passed=$((passed + 1)) ;;
  77) echo "package test skipped" ;;
  *) status=1; failed=$((failed + 1)) ;;
esac
took "package test"

stage "sanitizer build"
./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DLAMINA_SANITIZE=ON -DLAMINA_TESTS=ON -DLAMINA_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs" | tee ctest.log; exit "${PIPESTATUS[0]}") || status=1
count build-asan/ctest.log
took "sanitizer build and tests"

stage "fuzzers"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLAMINA_FUZZ=ON -DLAMINA_TESTS=OFF -DLAMINA_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target all_fuzzers
# fuzz_one PATH: one fuzzer for $fuzz_seconds; its log in build-fuzz/NAME.log
# and its exit status in build-fuzz/NAME.status.
fuzz_one() {
  local f=$1 name corpus_dir seed_file s rc
  name=$(basename "$f")
  corpus_dir="build-fuzz/corpus/$name"
  mkdir -p "$corpus_dir"
  local seeds=() extra=() environment=()
  seed_file="fuzz/seeds/$name.txt"
  if [ -f "$seed_file" ]; then
    while IFS= read -r s; do [ -n "$s" ] && [ -e "$s" ] && seeds+=("$s"); done <"$seed_file"
  fi
  # fuzz/seeds/NAME.args: extra libFuzzer options of one target (e.g. -max_len);
  # fuzz/seeds/NAME.env: environment settings of one target.
  [ -f "fuzz/seeds/$name.args" ] && read -r -a extra <"fuzz/seeds/$name.args"
  [ -f "fuzz/seeds/$name.env" ] && read -r -a environment <"fuzz/seeds/$name.env"
  rc=0
  env "${environment[@]}" "$f" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 "${extra[@]}" \
    -artifact_prefix="build-fuzz/$name-" "$corpus_dir" "${seeds[@]}" \
    >"build-fuzz/$name.log" 2>&1 || rc=$?
  echo "$rc" >"build-fuzz/$name.status"
}

# Each fuzzer is one process on one core: as many run at once as there are.
fuzzers=()
for f in build-fuzz/fuzz/*/fuzz_*; do
  [ -x "$f" ] && fuzzers+=("$f")
done
running=0
for f in "${fuzzers[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "-- $(basename "$f") for ${fuzz_seconds}s"
  fuzz_one "$f" &
  running=$((running + 1))
done
wait || true
for f in "${fuzzers[@]}"; do
  name=$(basename "$f")
  if [ "$(cat "build-fuzz/$name.status" 2>/dev/null)" != 0 ]; then
    echo "FUZZER FAILED: $name"; tail -n 40 "build-fuzz/$name.log"; status=1
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
    echo "$name: $(grep -E '^#[0-9]+.*DONE' "build-fuzz/$name.log" | tail -n 1)"
  fi
done
took "fuzzers"

echo "summary: $passed passed, $failed failed ($SECONDS s in all)"
[ "$failed" -eq 0 ] || status=1
exit $status
