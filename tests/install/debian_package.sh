#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: the files where a
# desktop looks for them, the run-time dependencies, and no lintian error.
# Exit 77: the Debian tools are missing.
# Usage: debian_package.sh <build folder>
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps fakeroot; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
cmake --build "$build" --target quenlo quenlo_docs >/dev/null
fail() { echo "FAILED: $*"; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null) || fail "cpack could not build the package"
deb=$(ls "$out"/quenlo_*.deb)

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/quenlo \
    ./usr/share/quenlo/database/ziku.txt ./usr/share/quenlo/database/help.htm \
    ./usr/share/quenlo/database/bjx.qrnv ./usr/share/quenlo/Sound/xiayige.wav \
    ./usr/share/quenlo/database/strokes.bin ./usr/share/quenlo/database/ARPHICPL.TXT \
    ./usr/share/quenlo/database/pinyin.bin ./usr/share/quenlo/database/pinyin-pro-LICENSE.txt \
    ./usr/share/applications/quenlo.desktop \
    ./usr/share/metainfo/io.github.quenlo.Quenlo.metainfo.xml \
    ./usr/share/icons/hicolor/256x256/apps/quenlo.png \
    ./usr/share/icons/hicolor/scalable/apps/quenlo.svg \
    ./usr/share/man/man1/quenlo.1.gz ./usr/share/doc/quenlo/copyright; do
    grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done
# Nothing beside the program in bin/, nothing at the top of the prefix.
[[ -z $(grep -E '^\./usr/(bin/.+/|[^/]+$)' <<<"$contents" | grep -v '/$' || true) ]] \
    || fail "files outside bin/ and share/"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6multimedia6 "fonts-arphic-gkai00mp | fonts-arphic-ukai" \
    xdg-utils qt6-translations-l10n libqt6sql6-sqlite; do
    grep -qF "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

if command -v lintian >/dev/null; then
    report=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
    echo "$report"
    ! grep -q '^E:' <<<"$report" || fail "lintian reports errors"
else
    echo "lintian is missing: the package was not checked by it"
fi
echo "Debian package: $(basename "$deb") checked"
