#!/usr/bin/env bash
# Builds once with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
# headless under them, with a real CUPS print queue for the printing tests and a
# throwaway PostgreSQL server for the office-database tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/packages.sh --tests
bash scripts/print-queue.sh
export QUILLMARSH_REQUIRE_PRINTER=1 # the real-queue printing test fails instead of skipping
# A throwaway PostgreSQL 15 server on a Unix socket for the office-database tests,
# which fail instead of skipping
source scripts/test-postgres.sh
trap stop_test_postgres EXIT
start_test_postgres
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DQUILLMARSH_SANITIZE=ON
cmake --build build/test -j2
cd build/test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 900
