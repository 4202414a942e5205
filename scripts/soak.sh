#!/usr/bin/env bash
# The long soak: 100,000 steps of the stage through a library of 1,000,000
# entries, each dialog opened 200 times, resident memory sampled every 5,000
# steps. Fails when memory grows by more than 10 % after the first 20,000
# steps. Takes a while (tens of minutes); not part of CI.
#   scripts/soak.sh [STEPS [DIALOG_EVERY]]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUENLO_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${QUENLO_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target quenlo_soak
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96 -nolisten tcp" "$build/bench/soak/quenlo_soak" "$@"
