#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test. The GUI
# tests run on a virtual 1920 x 1080 screen at 96 dpi.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUENLO_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$build"
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96 -nolisten tcp" \
  ctest --output-on-failure --parallel "$(nproc)" "$@"
