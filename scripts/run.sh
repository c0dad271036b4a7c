#!/usr/bin/env bash
# Sets up and builds the system, then runs its main job. Until the instrument application exists,
# the main job is the streaming benchmark: the first MQ5120 of the default simulated machine
# streams its analog input at 500 kHz through the API library, the kernel stand-in, the board
# driver MQ5120k and the board model, and the figures are printed.
# Usage: scripts/run.sh [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
build/bin/api_mq5120_stream_bench "${1:-60}" --default-machine
