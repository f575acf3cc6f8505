#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for FUZZ_SECONDS (default 60) from its
# seed corpus in fuzz/corpus, with a fixed random seed (FUZZ_SEED, default 1) so that a
# run can be repeated. New inputs go to build-fuzz/corpus-*, not the repository.
# Skipped when clang++ is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null; then
  echo "test-fuzz: clang++ not found, fuzz targets skipped"
  exit 0
fi
seconds=${FUZZ_SECONDS:-60}
# The test command's own runs are also bounded in count, so that with the fixed seed they
# repeat a sequence of inputs already seen to pass, whatever the machine's speed.
declare -A runs=([compile]=60000 [eval]=25000 [files]=9500)
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DTARNU_BUILD_FUZZ=ON -DTARNU_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$(nproc)" --target compile_fuzz eval_fuzz files_fuzz

for target in compile eval files; do
  work=build-fuzz/corpus-$target
  bound=()
  [ -z "${FUZZ_SECONDS:-}" ] && bound=(-runs="${runs[$target]}")
  mkdir -p "$work"
  echo "== ${target}_fuzz for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" -seed="${FUZZ_SEED:-1}" "${bound[@]}" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/$target-" \
    "$work" "fuzz/corpus/$target"
done
