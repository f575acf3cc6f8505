#!/usr/bin/env bash
# Builds the calculator in Release and starts it: its window when there is a display, its
# console mode otherwise.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run   # compilers, Qt 6, a CJK font, Qt's translations
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNU_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target tarnucalc
exec build-release/tarnucalc/tarnucalc "$@"
