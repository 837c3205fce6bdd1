#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the program three ways (Release,
# AddressSanitizer + UndefinedBehaviorSanitizer, libFuzzer) and runs every
# test, the fuzzers for a short while, and the benchmarks' build. Tests that
# need a display start their own Xvfb. The Windows targets are cross-built
# and their tests run under Wine (scripts/test-windows.sh) before the Linux
# suites, so the run ends with the Linux Release suite's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh --arm64

jobs=$(nproc)
fuzz_seconds=${QMK_FUZZ_SECONDS:-20}

echo "== Release build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQMK_WERROR=ON >/dev/null
cmake --build build -j"$jobs"

echo "== Package (.deb from the Release build: validators, lintian, install, purge)"
bash scripts/check-package.sh build
echo "-- the same beside an installed qmk, which it must leave alone"
bash tests/packaging/keeps-installed-qmk.sh build | tail -n 1

echo "== Sanitizer build"
# With the software extended arithmetic, so that every test runs against
# both implementations on this machine (the Release build keeps the x87).
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQMK_SANITIZE=ON -DQMK_BENCH=OFF -DQMK_SOFT_EXTENDED=ON -DQMK_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"

echo "== Fuzzers (${fuzz_seconds}s each)"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQMK_FUZZ=ON -DQMK_TESTS=OFF -DQMK_WERROR=ON >/dev/null
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

# The arm64 tree: cross-built on an x86-64 machine, run under emulation.
if [ "$(uname -m)" = x86_64 ]; then
  echo "== arm64: cross build, every test under qemu-aarch64"
  arm64_start=$SECONDS
  cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQMK_BENCH=OFF >/dev/null
  cmake --build build-arm64 -j"$jobs"
  ctest --test-dir build-arm64 --output-on-failure -j"$jobs"
  echo "-- arm64 qmk-run under the emulator on a private Xvfb"
  env -u DISPLAY LC_ALL=C.UTF-8 qemu-aarch64 build-arm64/qmk-run | tee build-arm64/qmk-run.txt
  # Both lines, each with the percentage of its score. For the scores an
  # emulated run makes (far below 300000) the program's text is the exact
  # percentage rounded half up to hundredths, which the runtime's tests check
  # for every such score.
  python3 - build-arm64/qmk-run.txt <<'CHECK'
import re, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
assert len(lines) == 2, lines
for line, label, reference in zip(lines, ("ＣＰＵ：", "ビデオ："), (1992, 2370)):
    match = re.fullmatch(re.escape(label) + r"(\d+) \((\d+)\.(\d\d)%\)", line)
    assert match, line
    score = int(match[1])
    hundredths = (score * 20000 + reference) // (2 * reference)
    assert score <= 300000 and (int(match[2]), int(match[3])) == divmod(hundredths, 100), line
CHECK
  echo "arm64: $((SECONDS - arm64_start)) s"
fi

echo "== Windows builds (MinGW-w64; tests under Wine)"
bash scripts/test-windows.sh

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== Tests under the sanitizers"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Tests (Release)"
ctest --test-dir build --output-on-failure -j"$jobs"
