#!/usr/bin/env bash
# Runs the built test suite of each preset several times in a row while CPU hogs load the machine
# (two per core), then once more restricted to two cores: no test may depend on the machine
# keeping up with real time. Stops at the first failing run.
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

log="$(mktemp)"
suite() {  # <what> <command...>: one run of a suite, its summary, or its failures and the log
    echo "== $1"
    shift
    if ! "$@" >"$log" 2>&1; then
        sed -n '/The following tests FAILED/,$p' "$log"
        echo "the whole output: $log"
        exit 1
    fi
    grep -E "tests passed|Total Test time" "$log"
}
for preset in "${presets[@]}"; do
    for run in $(seq 1 "$runs"); do
        suite "$preset, loaded, run $run of $runs" ctest --preset "$preset" -j 4 --output-on-failure
    done
    suite "$preset, loaded, on cores 0 and 1" \
        taskset -c 0,1 ctest --preset "$preset" -j 4 --output-on-failure
done
rm -f "$log"
