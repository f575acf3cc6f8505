#!/usr/bin/env bash
# The library-only configuration must not need GoogleTest: configure it with GoogleTest
# hidden and check that the library is there and no test program is.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --no-warn-unused-cli -S . -B build-libonly -G Ninja -DQUOREL_BUILD_TESTS=OFF -DTARNU_BUILD_CALC=OFF \
  -DTARNU_BUILD_BENCH=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >/dev/null
targets=$(ninja -C build-libonly -t targets all)
grep -q '^Quorel32/libQuorel32.so' <<<"$targets"
if grep -q 'quorel_tests' <<<"$targets"; then
  echo "library-only build still builds the tests" >&2
  exit 1
fi
echo "library-only configuration needs no GoogleTest"
