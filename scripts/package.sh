#!/usr/bin/env bash
# Builds the Debian package of the program (release, without tests and benchmarks):
# build/package/quillmarsh_<version>_<arch>.deb, installed with `apt-get install ./<file>`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/packages.sh --package
cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DQUILLMARSH_TESTS=OFF -DQUILLMARSH_BENCH=OFF
cmake --build build/package -j2 --target quillmarsh
cd build/package
cpack -G DEB
ls -1 "$PWD"/*.deb
