#!/usr/bin/env bash
# Sets up and builds the system, then runs its main job: the instrument application Larkspur on
# the default simulated machine, with the oscilloscope opened on the first board and started.
#
# Usage:
#   scripts/run.sh                       Larkspur in a window (needs a display)
#   scripts/run.sh --screenshot FILE     offscreen: saves the scope panel to FILE and the main
#                                        window beside it once the first buffer is drawn
#   scripts/run.sh bench [seconds]       the streaming benchmark of the whole stack (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

if [ "${1:-}" = "bench" ]; then
    build/bin/api_mq5120_stream_bench "${2:-60}" --default-machine
    exit 0
fi

machine="${MQ_MACHINE:-${XDG_STATE_HOME:-$HOME/.local/state}/mq-machine}"
if [ ! -f "$machine/boards.txt" ]; then
    build/bin/mqmachine signal MQ5120 1 AD0.0=sine:5:50
    echo "run.sh: the machine had no board list: its MQ5120 now reads a 5 V, 50 Hz sine on input 0"
fi

if [ "${1:-}" = "--screenshot" ]; then
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" build/bin/larkspur --screenshot "${2:?file}"
    exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat <<'MSG'
run.sh: no display to show Larkspur's window in. Run it offscreen instead, which saves what it
shows once the first buffer is drawn:

    scripts/run.sh --screenshot scope.png

(scope.png gets the scope panel, scope-main.png the main window), or start a display server
(for example Xvfb :1 & export DISPLAY=:1) and run scripts/run.sh again.
MSG
    exit 0
fi
exec build/bin/larkspur --scope
