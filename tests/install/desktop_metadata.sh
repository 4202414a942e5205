#!/usr/bin/env bash
# The menu entry, the AppStream metadata and the manual page pass the
# desktop's own validators, and speak both Simplified and Traditional
# Chinese. Exit 77: a validator is missing.
# Usage: desktop_metadata.sh <packaging folder> <the build's packaging folder>
set -euo pipefail
packaging=$1
generated=$2
for tool in desktop-file-validate appstreamcli man; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
fail() { echo "FAILED: $*"; exit 1; }
desktop=$packaging/quenlo.desktop
metainfo=$generated/io.github.quenlo.Quenlo.metainfo.xml
desktop-file-validate "$desktop"
appstreamcli validate --no-net --explain "$metainfo"
for key in Name GenericName Comment Keywords; do
    for language in zh_CN zh_TW; do
        grep -q "^$key\[$language\]=" "$desktop" || fail "the menu entry has no $key[$language]"
    done
done
for element in name summary p; do
    for language in zh-CN zh-TW; do
        grep -q "<$element xml:lang=\"$language\">" "$metainfo" \
            || fail "the AppStream metadata has no <$element> in $language"
    done
done
# Only addresses that lead somewhere.
! grep -n "example\.\(org\|com\|net\)" "$desktop" "$metainfo" || fail "placeholder address"
# man reports the page's mistakes on stderr; the menu's commands are Chinese.
complaints=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$generated/quenlo.1" 2>&1 >/dev/null)
[[ -z $complaints ]] || fail "$complaints"
# Every PNG has the size its folder names, so the desktop picks the right one.
for png in "$packaging"/icons/hicolor/*/apps/quenlo.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    size=$(file -b "$png" | sed -n 's/.*, \([0-9]*\) x \([0-9]*\),.*/\1x\2/p')
    [[ $size == "$folder" ]] || { echo "$png is $size"; exit 1; }
done
echo "desktop metadata: valid"
