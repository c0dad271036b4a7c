#!/usr/bin/env bash
# Sets up and builds the system, then runs its main job. The instrument application does not exist
# yet: for now this runs the platform stand-ins' conformance suite, which is what stands so far.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
ctest --preset default -L unit
