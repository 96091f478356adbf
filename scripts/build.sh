#!/usr/bin/env bash
# Builds Varnel (Release, g++) into build/release; programs land in build/release/bin.
# With arguments, builds only those targets (for example the three programs).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build/release -j"$(nproc)" "${targets[@]}"
