#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60), side by side,
# on its corpus in fuzz/corpus/<target> (new inputs go to build/fuzz/corpus/<target>, findings
# to build/fuzz/findings/<target>). A finding: copy its input into fuzz/corpus/<target>, so the
# engine tests replay it, and mend the engine.
#   tools/fuzz.sh [SECONDS] [TARGET...]      targets: dbf filter memo sql fieldlist rtf sheet csv xlsx undo
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dbf filter memo sql fieldlist rtf sheet csv xlsx undo)
clang="${CLANGXX:-clang++-14}"

cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$clang" \
      -DORBELAN_FUZZ=ON -DORBELAN_GUI=OFF -DORBELAN_TESTS=OFF -DORBELAN_BENCH=OFF >/dev/null
cmake --build build/fuzz -j2 --target "${targets[@]/#/fuzz_}"

pids=()
for t in "${targets[@]}"; do
    mkdir -p "build/fuzz/corpus/$t" "build/fuzz/findings/$t"
    build/fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=1024 \
        -artifact_prefix="build/fuzz/findings/$t/" -print_final_stats=1 \
        "build/fuzz/corpus/$t" "fuzz/corpus/$t" >"build/fuzz/$t.log" 2>&1 &
    pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
    t="${targets[$i]}"
    if wait "${pids[$i]}"; then result="no finding"; else result="FINDING"; status=1; fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$t.log" | grep -o '[0-9]*$' || true)
    speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "build/fuzz/$t.log" | grep -o '[0-9]*$' || true)
    echo "$t: ${runs:-?} executions, ${speed:-?}/s, $result (build/fuzz/$t.log)"
done
exit $status
