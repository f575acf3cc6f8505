#!/usr/bin/env bash
# Installs what is missing, builds everything, runs the whole test suite, then builds
# and runs the engine tests again under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUOREL_SANITIZE=ON \
  -DTARNU_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs" --target quorel_tests tarnucalc_tests
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -R quorel
# The calculator's randomized tests (conversions, files, flows) under the sanitizers too.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build-asan/tarnucalc/tests/tarnucalc_tests --gtest_brief=1 --gtest_filter='*Fuzz.*'

# Compilers without computed goto (MSVC) get the switch-based dispatch loops: build and
# run the engine tests once more with them, and without native code, as elsewhere than
# x86-64.
cmake -S . -B build-portable -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-DQUOREL_NO_COMPUTED_GOTO" -DQUOREL_NO_JIT=ON -DTARNU_BUILD_CALC=OFF \
  -DTARNU_BUILD_BENCH=OFF
cmake --build build-portable -j "$jobs" --target quorel_tests
ctest --test-dir build-portable --output-on-failure -R quorel
scripts/test-tsan.sh
scripts/test-packages.sh
scripts/test-fuzz.sh
scripts/test-libonly.sh
scripts/test-windows.sh
