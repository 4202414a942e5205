#!/usr/bin/env bash
# Configures and builds everything into build/ (or $QUENLO_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUENLO_BUILD_DIR:-$root/build}"
launcher=()
if command -v ccache >/dev/null; then
  # Rebuilds after a branch switch or in a second clone take seconds.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  # Debug information names the build folder; without this every new clone
  # would miss the cache.
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${QUENLO_BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
