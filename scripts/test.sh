#!/usr/bin/env bash
# Sets up, builds and runs every test. Usage: scripts/test.sh [default|asan|tsan] [ctest args...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
shift || true
scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" "$@"
