#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/, replays each target's corpus
# (tests/fuzz/corpus/<target>/), then fuzzes each for KALDOR_FUZZ_SECONDS (default 20) and
# prints its executions and coverage. A crash fails the run and names the input that made it.
# New inputs found go to build-fuzz/corpus/<target>/, crashes to build-fuzz/crashes/<target>/;
# add a crash to the tree's corpus with a line in tests/fuzz/corpus/README.md.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${KALDOR_FUZZ_SECONDS:-20}"
build="$top/build-fuzz"

echo "== configure build-fuzz (clang)"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DKALDOR_FUZZ=ON -DKALDOR_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
echo "== build build-fuzz"
cmake --build "$build" -j "$(nproc)" >/dev/null

# grep finds nothing in a log that has no such line: that is no failure of the run.
find_lines() { grep -E "$@" || true; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for program in "$build"/fuzz/fuzz_*; do
    target="${program##*/fuzz_}"
    seeds="$top/tests/fuzz/corpus/$target"
    found="$build/corpus/$target"
    crashes="$build/crashes/$target/"
    mkdir -p "$found" "$crashes"
    log="$build/$target.log"
    # The replay: every input of the corpus once.
    if ! "$program" -runs=0 "$seeds" >"$log" 2>&1; then
        echo "== fuzz $target: FAILED on its corpus ($log)"
        find_lines "Running: |ERROR|check failed" "$log" | tail -n 3
        failed+=("$target")
        continue
    fi
    if ((seconds > 0)); then
        if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
            -print_final_stats=1 -artifact_prefix="$crashes" "$found" "$seeds" >"$log" 2>&1; then
            echo "== fuzz $target: FAILED ($log)"
            find_lines "check failed|ERROR|SUMMARY" "$log" | head -n 3
            find_lines "Test unit written to" "$log" | sed 's/.*written to /== input: /'
            failed+=("$target")
            continue
        fi
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(find_lines "^#[0-9]+.*cov: " "$log" | tail -n 1 | sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+).*/\1 edges, \2 features/')
    echo "== fuzz $target: ${execs:-0} executions in ${seconds} s, coverage ${cov:-?}"
done
if ((${#failed[@]} > 0)); then
    echo "== fuzz: FAILED: ${failed[*]}"
    exit 1
fi
