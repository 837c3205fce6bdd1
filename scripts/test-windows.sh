#!/usr/bin/env bash
# The Windows half of scripts/test.sh: cross-builds the 64-bit (x86_64) and
# 32-bit (i686) Windows targets with MinGW-w64 and runs their tests under
# Wine on a private Xvfb. The 32-bit tests run only where a 32-bit probe
# program runs (a kernel without ia32 emulation refuses them); otherwise
# one line says they were skipped and why. Prints the time of each step.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh --windows

jobs=$(nproc)
step_start=$SECONDS
took() {
  echo "-- $1: $((SECONDS - step_start)) s"
  step_start=$SECONDS
}

build_target() {
  local name=$1 toolchain=$2 dir=$3
  echo "== Windows $name: configure and build ($dir)"
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$dir" -j"$jobs"
  took "$name build"
}

# The Wine session of a build folder ends by itself after its last
# program; stopping it here makes the end certain before the next step.
stop_wine() {
  bash cmake/wine-run.sh --build "$1" --arch "$2" --stop
}

build_target x86_64 mingw-x86_64.cmake build-win64
echo "== Windows x86_64: tests under Wine"
trap 'stop_wine build-win64 win64' EXIT
ctest --test-dir build-win64 --output-on-failure -j"$jobs"
stop_wine build-win64 win64
trap - EXIT
took "x86_64 tests (the first run makes the Wine prefixes)"

build_target i686 mingw-i686.cmake build-win32
probe=build-win32/tests/platform/win32/qmk_win32_probe.exe
set +e
reason=$(bash cmake/wine-run.sh --build build-win32 --arch win32 "$probe" 2>&1 >/dev/null)
status=$?
set -e
if [ $status -eq 77 ]; then
  echo "== Windows i686: tests skipped: ${reason#skipped: }"
elif [ $status -ne 0 ]; then
  echo "the 32-bit probe failed (status $status): $reason" >&2
  exit 1
else
  echo "== Windows i686: tests under Wine"
  trap 'stop_wine build-win32 win32' EXIT
  ctest --test-dir build-win32 --output-on-failure -j"$jobs"
  stop_wine build-win32 win32
  trap - EXIT
  took "i686 tests"
fi
