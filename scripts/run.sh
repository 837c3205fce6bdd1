#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the program and starts it on the
# display in DISPLAY.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
exec build/qmk "$@"
