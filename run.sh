#!/usr/bin/env bash
# Builds DBF Orbelan (Release) and opens a table: the one given, or the bundled sample.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORBELAN_TESTS=OFF -DORBELAN_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

file="${1:-samples/persoane.dbf}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    echo "Nu exista un ecran (DISPLAY nu este setat); afisez tabelul in terminal."
    exec build/release/cli/orbelan show "$file"
fi
exec build/release/app/dbf-orbelan "$file"
