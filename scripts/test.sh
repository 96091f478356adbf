#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds and runs every test:
#   1. g++ Release build of everything, all tests (GUI tests on the offscreen platform);
#   2. clang AddressSanitizer + UndefinedBehaviorSanitizer build of the Qt-free
#      parts, their tests, the fuzz corpora as regression tests, and a short
#      fuzzing smoke of each fuzz target.
# Benchmarks are built, not run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== clang-format: every tracked source as .clang-format says"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== g++ Release build and tests"
scripts/build.sh
(cd build/release && ctest --output-on-failure -j"$jobs" --timeout 300)

echo "== clang ASan/UBSan build of the Qt-free parts and the fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVARNEL_WITH_QT=OFF -DVARNEL_SANITIZE=ON -DVARNEL_FUZZ=ON -DVARNEL_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs"
source fuzz/common.sh
(cd build/asan && ctest --output-on-failure -j"$jobs" --timeout 300)

echo "== fuzzing smoke (${VARNEL_FUZZ_SECONDS:-10} s per target, with its dictionary)"
for target in build/asan/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work="build/asan/fuzz-work/$name"
  mkdir -p "$work"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  dict=$(fuzz_dict "$name")
  "$target" -max_total_time="${VARNEL_FUZZ_SECONDS:-10}" -print_final_stats=0 ${dict:+-dict="$dict"} \
    "$work" "${seeds[@]}" >"$work.log" 2>&1 || { tail -50 "$work.log"; exit 1; }
  echo "$name: clean ($(grep -Eo "Done [0-9]+ runs" "$work.log" | tail -1))"
done
echo "All tests passed."
