#!/usr/bin/env bash
# Makes quenlo.ico, the Windows icon of the program and its installer, from
# the hicolor PNGs that packaging/icons/make-icons.sh renders. The .ico is
# committed; run this again after changing the icon. Needs icotool (Debian:
# icoutils).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
icons="$here/../icons/hicolor"
sizes=(16 24 32 48 64 128)
args=()
for size in "${sizes[@]}"; do
  args+=("$icons/${size}x${size}/apps/quenlo.png")
done
# The 256-pixel picture stays PNG-compressed, as Windows reads it since Vista.
icotool --create --output="$here/quenlo.ico" "${args[@]}" --raw="$icons/256x256/apps/quenlo.png"
