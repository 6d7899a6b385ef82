#!/usr/bin/env bash
# Builds the program (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/packages.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUILLMARSH_TESTS=OFF -DQUILLMARSH_BENCH=OFF
cmake --build build/release -j2 --target quillmarsh
exec build/release/app/quillmarsh
