#!/usr/bin/env bash
# Builds everything and runs every test: the whole suite, the window driven on a real display,
# then the engine and command tests again under the address and undefined-behaviour sanitizers,
# then the Windows build's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
jobs="$(nproc)"
# ccache keys on paths relative to the checkout's parent, so every clone shares one cache.
export CCACHE_BASEDIR="$(cd .. && pwd)" CCACHE_NOHASHDIR=1

# The benchmarks have their own Release build (README, "Benchmarks"); CI only tests.
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBELAN_WERROR=ON -DORBELAN_BENCH=OFF >/dev/null
cmake --build build/test -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build/test --output-on-failure -j"$jobs"
# The real window on a real (virtual) display, driven with keys and clicks as a user would.
tests/display/display_test.sh build/test

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DORBELAN_SANITIZE=ON -DORBELAN_GUI=OFF \
      -DORBELAN_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs" --target engine_tests core_tests editing_tests cleaning_tests cli_tests \
    letters_tests export_tests safety_tests importing_tests index_peer_tests
# Programs left out of the list above (the kill test, the 4 GB member) run once above: under
# the sanitizers they would only be slow.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan --output-on-failure -j"$jobs" -E '_NOT_BUILT$'

./tools/wine_tests.sh
