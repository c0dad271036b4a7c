#!/usr/bin/env bash
# Runs the built test suite of each preset several times in a row while CPU hogs load the machine
# (two per core), then once more restricted to two cores: no test may depend on the machine
# keeping up with real time. Every run goes on to the end; the failing tests of each are listed and
# the script fails when any run failed.
# Usage: scripts/load-test.sh [runs, default 5] [presets, default: default asan tsan]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
shift || true
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan tsan)
scripts/setup.sh

stress-ng --cpu "$(( 2 * $(nproc) ))" --quiet &
hogs=$!
trap 'kill "$hogs" 2>/dev/null; wait "$hogs" 2>/dev/null || true' EXIT

failed=0
suite() {  # <what> <command...>: one run of a suite, its summary, and its failures with the log
    echo "== $1"
    shift
    local log
    log="$(mktemp)"
    if "$@" >"$log" 2>&1; then
        grep -E "tests passed|Total Test time" "$log"
        rm -f "$log"
    else
        failed=1
        grep -E "tests passed|Total Test time" "$log" || true
        sed -n '/The following tests FAILED/,$p' "$log"
        echo "the whole output: $log"
    fi
}
for preset in "${presets[@]}"; do
    for run in $(seq 1 "$runs"); do
        suite "$preset, loaded, run $run of $runs" ctest --preset "$preset" -j 4 --output-on-failure
    done
    suite "$preset, loaded, on cores 0 and 1" \
        taskset -c 0,1 ctest --preset "$preset" -j 4 --output-on-failure
done
exit "$failed"
