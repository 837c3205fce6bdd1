#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the program three ways (Release,
# AddressSanitizer + UndefinedBehaviorSanitizer, libFuzzer) and runs every
# test, the fuzzers for a short while, and the benchmarks' build. Tests that
# need a display start their own Xvfb. Then the Windows targets are
# cross-built and their tests run under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh

jobs=$(nproc)
fuzz_seconds=${QMK_FUZZ_SECONDS:-20}

echo "== Release build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"

echo "== Package (.deb from the Release build: validators, lintian, install, purge)"
bash scripts/check-package.sh build

echo "== Sanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQMK_SANITIZE=ON -DQMK_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"

echo "== Fuzzers (${fuzz_seconds}s each)"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQMK_FUZZ=ON -DQMK_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_all
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/${name#fuzz_}"
  [ -d "$seeds" ] || seeds=""
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" $seeds 2>&1 | tail -n 2
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== Tests under the sanitizers"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Tests (Release)"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Windows builds (MinGW-w64; tests under Wine)"
bash scripts/test-windows.sh
