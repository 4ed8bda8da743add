#!/usr/bin/env bash
# The long form of the kill test: RUNS runs (default 100) each of a sort and an ALTER TABLE on a
# table of ROWS rows (default 1000000) with a memo file, each run killed (SIGKILL) at a random
# point; every run must leave the table reading whole, old or new. ./test.sh runs a short form.
#   tools/kill_test.sh [RUNS] [ROWS]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/kill -DCMAKE_BUILD_TYPE=Release -DORBELAN_GUI=OFF -DORBELAN_BENCH=OFF \
      -DORBELAN_WERROR=ON >/dev/null
cmake --build build/kill -j"$(nproc)" --target kill_tests
ORBELAN_KILL_RUNS="${1:-100}" ORBELAN_KILL_ROWS="${2:-1000000}" build/kill/tests/kill_tests
