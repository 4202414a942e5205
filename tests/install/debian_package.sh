#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: the files where a
# desktop looks for them, the run-time dependencies, the version of its own
# changelog, Debian's hardening, the same bytes from a second run with every
# file time the last commit's, and no lintian error or hardening tag.
# Exit 77: the Debian tools are missing.
# Usage: debian_package.sh <build folder>
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps fakeroot readelf; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
# A sanitizer or fuzz build drops Debian's hardening for its own run-time
# checks: such a program is never packaged.
grep -Eq '^QUENLO_(SANITIZE|FUZZ):BOOL=ON$' "$build/CMakeCache.txt" \
    && { echo "SKIPPED: a sanitizer or fuzz build is not packaged"; exit 77; }
cmake --build "$build" --target quenlo quenlo_docs >/dev/null
fail() { echo "FAILED: $*"; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
pack() { (cd "$build" && cpack -G DEB -B "$1" >/dev/null) || fail "cpack could not build the package"; }
pack "$out/first"
deb=$(ls "$out"/first/quenlo_*.deb)

# Reproducible: file times in the build folder don't reach the package.
touch "$build"/packaging/*.gz "$build/quenlo"
pack "$out/second"
cmp -s "$deb" "$out"/second/quenlo_*.deb || fail "a second cpack run made another package"
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || true)}
if [[ -n $epoch ]]; then
    expected=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
    times=$( (dpkg-deb --fsys-tarfile "$deb"; dpkg-deb --ctrl-tarfile "$deb") \
        | TZ=UTC tar -tv --full-time | awk '{print $4, $5}' | sort -u)
    [[ $times == "$expected" ]] || fail "file times in the package are not the last commit's ($expected): $times"
else
    echo "not a git checkout: the file times were not compared with the last commit's"
fi

# The version the package says is its changelog's newest.
version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/quenlo/changelog.Debian.gz \
    | gzip -dc | sed -n '1s/^quenlo (\([^)]*\)).*/\1/p')
[[ $version == "$changelog_version" ]] || fail "the package is $version, its changelog's newest entry $changelog_version"

# Debian's hardening: a position-independent executable, relocations made
# read-only and bound at start, the stack protector and fortified calls.
dpkg-deb -x "$deb" "$out/files"
program=$out/files/usr/bin/quenlo
readelf -h "$program" | grep -q 'Type: *DYN' || fail "not a position-independent executable"
readelf -lW "$program" | grep -q GNU_RELRO || fail "no read-only relocations"
readelf -dW "$program" | grep -Eq 'BIND_NOW|FLAGS.*\bNOW\b' || fail "not bound at start (bind-now)"
symbols=$(readelf --dyn-syms -W "$program")
grep -q __stack_chk_fail <<<"$symbols" || fail "no stack protector"
grep -Eq '__[a-z]+_chk@' <<<"$symbols" || fail "no fortified calls"

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
    report=$(lintian --display-info --tag-display-limit 0 "$deb" 2>&1 || true)
    echo "$report"
    ! grep -q '^E:' <<<"$report" || fail "lintian reports errors"
    ! grep -q ' hardening-' <<<"$report" || fail "lintian finds the hardening incomplete"
else
    echo "lintian is missing: the package was not checked by it"
fi
echo "Debian package: $(basename "$deb") checked"
