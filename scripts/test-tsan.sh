#!/usr/bin/env bash
# Builds the engine tests under ThreadSanitizer and runs those where several threads
# evaluate one formula at once.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" -DTARNU_BUILD_CALC=OFF -DTARNU_BUILD_BENCH=OFF
cmake --build build-tsan -j "$(nproc)" --target quorel_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/Quorel32/tests/quorel_tests --gtest_filter='Threads.*:Batch.*:Native.MadeWhileThreadsRun'
