#!/usr/bin/env bash
# Builds in Release and starts the calculator.
set -euo pipefail
cd "$(dirname "$0")"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNU_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)"
if [ -x build-release/tarnucalc/tarnucalc ]; then
  exec build-release/tarnucalc/tarnucalc "$@"
fi
exec build-release/examples/quorel_version
