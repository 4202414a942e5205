#!/usr/bin/env bash
# The menu entry, the AppStream metadata and the manual page pass the
# desktop's own validators. Exit 77: a validator is missing.
# Usage: desktop_metadata.sh <packaging folder>
set -euo pipefail
packaging=$1
for tool in desktop-file-validate appstreamcli man; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
desktop-file-validate "$packaging/quenlo.desktop"
appstreamcli validate --no-net --explain "$packaging"/*.metainfo.xml
# man reports the page's mistakes on stderr.
complaints=$(MANWIDTH=80 man --warnings -l "$packaging/quenlo.1" 2>&1 >/dev/null)
[[ -z $complaints ]] || { echo "$complaints"; exit 1; }
# Every PNG has the size its folder names, so the desktop picks the right one.
for png in "$packaging"/icons/hicolor/*/apps/quenlo.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    size=$(file -b "$png" | sed -n 's/.*, \([0-9]*\) x \([0-9]*\),.*/\1x\2/p')
    [[ $size == "$folder" ]] || { echo "$png is $size"; exit 1; }
done
echo "desktop metadata: valid"
