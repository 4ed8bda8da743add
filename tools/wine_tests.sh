#!/usr/bin/env bash
# Cross-builds orbelan.exe and the test programs that need no Qt for 64-bit Windows (MinGW-w64,
# cmake/toolchains/mingw-w64-x86_64.cmake) into build/win and runs the tests under Wine, each
# program once. Called by ./test.sh after the Linux stages; runs on its own too.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh windows
jobs="$(nproc)"

WINE=/usr/lib/wine/wine64  # the distribution keeps it out of PATH
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# safety_tests runs its fault matrix here too (its permission and tmpfs cases are POSIX only);
# kill_tests is POSIX by nature (fork and SIGKILL).
TESTS=(engine_tests core_tests editing_tests cleaning_tests cli_tests letters_tests export_tests
       safety_tests)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 without debug information: the stage is about behaviour, and it must stay quick.
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" -DORBELAN_WERROR=ON \
      -DORBELAN_GUI=OFF -DORBELAN_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build/win -j"$jobs" --target orbelan "${TESTS[@]}"

WINESERVER=/usr/lib/wine/wineserver
trap 'echo "Etapa Windows s-a oprit la linia $LINENO." >&2' ERR
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1
    "$WINESERVER" -w  # the new prefix's own server ends first
fi
# One Wine server for the whole stage instead of one per program (one may already be running).
"$WINESERVER" -p || true
trap '"$WINESERVER" -k || true' EXIT

failed=()
log="$(mktemp)"
for t in "${TESTS[@]}"; do
    echo "== $t (Wine)"
    # The whole output when it failed; its closing count either way.
    if ! "$WINE" "build/win/tests/$t.exe" --gtest_print_time=0 > "$log" 2>&1; then
        failed+=("$t")
        cat "$log"
    fi
    grep -E '^\[(==========|  PASSED  |  SKIPPED )\] [0-9]+ tests?' "$log" || true
done
# The program itself, as a user runs it: a Romanian file name from the command line.
scratch="$(mktemp -d)"
cp tests/data/persoane.dbf "$scratch/Şcoală Ţânţăreni.dbf"
if ! (cd "$scratch" && "$WINE" "$OLDPWD/build/win/cli/orbelan.exe" info "Şcoală Ţânţăreni.dbf" |
      grep -q "^Linii: 30"); then
    failed+=("orbelan.exe info")
fi
# A workbook made by orbelan.exe, checked by Linux's unzip.
if ! (cd "$scratch" && "$WINE" "$OLDPWD/build/win/cli/orbelan.exe" export "Şcoală Ţânţăreni.dbf" \
        --format xlsx -o carte.xlsx >/dev/null && unzip -tqq carte.xlsx); then
    failed+=("orbelan.exe export --format xlsx")
fi
# A command undone on that name, byte for byte: the restore point's swap under Windows' rules.
cp "$scratch/Şcoală Ţânţăreni.dbf" "$scratch/inainte.dbf"
if ! (cd "$scratch" && "$WINE" "$OLDPWD/build/win/cli/orbelan.exe" sort "Şcoală Ţânţăreni.dbf" NUME \
        --yes >/dev/null && ! cmp -s "Şcoală Ţânţăreni.dbf" inainte.dbf &&
      "$WINE" "$OLDPWD/build/win/cli/orbelan.exe" undo "Şcoală Ţânţăreni.dbf" >/dev/null &&
      cmp -s "Şcoală Ţânţăreni.dbf" inainte.dbf); then
    failed+=("orbelan.exe sort + undo")
fi
rm -rf "$scratch" "$log"
if [ ${#failed[@]} -gt 0 ]; then
    echo "Esuate sub Wine: ${failed[*]}" >&2
    exit 1
fi
echo "Toate testele au trecut sub Wine."
