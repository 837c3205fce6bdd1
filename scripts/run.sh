#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the program and starts it on the
# display in DISPLAY. Without a display (a server, a container, an SSH
# session) it runs the benchmark once with the command-line runner, which
# opens the same window on a private Xvfb and prints the two result lines;
# arguments then go to the runner (--runs N, --json, --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
# Only the two programs: the tests and benchmarks are for scripts/test.sh.
cmake --build build -j"$(nproc)" --target qmk qmk-run
if [ -n "${DISPLAY:-}" ]; then
  exec build/qmk "$@"
fi
echo "run.sh: no display (DISPLAY is unset): running build/qmk-run on a private Xvfb" >&2
exec build/qmk-run "$@"
