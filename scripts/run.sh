#!/usr/bin/env bash
# Sets up and builds the system, then runs its main job. Until the instrument application exists,
# the main job is the streaming benchmark: a simulated MQ5120 on a machine of its own streams its
# analog input through the API library, unpaced and then at its 500 kHz clock, and the figures
# are printed. Usage: scripts/run.sh [seconds per case]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
build/bin/api_sim_stream_bench "${1:-0.5}"
