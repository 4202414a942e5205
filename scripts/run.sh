#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec "${QUENLO_BUILD_DIR:-$root/build}/quenlo"
