#!/usr/bin/env bash
# Builds Varnel (Release, g++) into build/release; programs land in build/release/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)"
