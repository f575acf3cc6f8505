#!/usr/bin/env bash
# Builds the Windows packages tarnu-<version>-win32.zip and tarnu-<version>-win64.zip
# (optimised, without tests) with mingw-w64 and puts them in dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p dist
for arch in win32:i686-w64-mingw32 win64:x86_64-w64-mingw32; do
  name=${arch%%:*}
  triple=${arch#*:}
  dir=build-package-$name
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/$triple.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQUOREL_BUILD_TESTS=OFF -DTARNU_BUILD_BENCH=OFF
  cmake --build "$dir" -j "$(nproc)"
  (cd "$dir" && cpack -G ZIP)
  cp "$dir"/tarnu-*-"$name".zip dist/
done
ls -l dist
