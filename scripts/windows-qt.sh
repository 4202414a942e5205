#!/usr/bin/env bash
# Builds what the Windows build of Quenlo links against, from Debian's own
# source packages, with Debian's MinGW-w64 cross-compiler:
#   - Qt 6.4.2's qtbase: Core, Gui, Widgets, Sql with SQLite (no ICU, no
#     OpenGL, no network), the Windows platform and style plugins;
#   - uchardet, as a static library.
# Sound cues need no Qt Multimedia on Windows: the sound player plays them
# with winmm (see platform/soundplayer_windows.cpp).
#
# Everything is installed into one prefix in a cache folder outside the tree,
#   ${QUENLO_WINDOWS_CACHE:-/var/cache/quenlo-windows}/qt-<hash>
# where <hash> is taken from this script and the toolchain file, so a prefix is
# reused as long as neither changes, and a change builds a new one. The prefix
# is printed on the last line of the output (scripts/build-windows.sh reads it).
#
# Also installs, with apt, the Debian packages the Windows build, the
# installer and the Wine test need (root, or sudo without a password).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
toolchain="$root/cmake/mingw-w64.cmake"
cache="${QUENLO_WINDOWS_CACHE:-/var/cache/quenlo-windows}"
jobs="${QUENLO_WINDOWS_JOBS:-$(nproc)}"

# The source packages, pinned, with the hashes of their upstream tarballs.
qt_source=qt6-base=6.4.2+dfsg-10
qt_tarball=qt6-base_6.4.2+dfsg.orig.tar.xz
qt_sha256=4f14b89a9463a540fd84a6718b8519a2297119b454ef547721015a9e9019ae9e
sqlite_source=sqlite3=3.40.1-2+deb12u2
sqlite_tarball=sqlite3_3.40.1.orig.tar.xz
sqlite_sha256=aaa776260ab4dc976db34aa7891819484c8676b5b2783123ebc6301e2ca5d655
uchardet_source=uchardet=0.0.7-1
uchardet_tarball=uchardet_0.0.7.orig.tar.xz
uchardet_sha256=3fc79408ae1d84b406922fa9319ce005631c95ca0f34b205fad867e8b30e45b1

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  cmake ninja-build pkg-config dpkg-dev tcl qt6-base-dev qt6-base-dev-tools
  qt6-translations-l10n libgtest-dev libgmock-dev
  nsis zip unzip icoutils imagemagick
  wine wine64 xvfb xauth xdotool x11-utils x11-xserver-utils sqlite3 python3 fonts-arphic-ukai
)

say() { echo "windows-qt: $*" >&2; }

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  as_root=(sudo -n)
fi
apt_get() {
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get -q -o DPkg::Lock::Timeout=600 "$@"
}

ensure_source_entries() {
  if grep -rqs '^\s*\(Types:.*deb-src\|deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  say "adding a deb-src entry for bookworm"
  "${as_root[@]}" tee /etc/apt/sources.list.d/quenlo-deb-src.sources >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt_get update >/dev/null
}

ensure_packages() {
  local missing=() package
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return
  say "installing: ${missing[*]}"
  apt_get update >/dev/null
  apt_get install -y --no-install-recommends "${missing[@]}" >/dev/null
}

# apt-get source with the version pinned, then the upstream tarball's hash.
fetch_source() {
  local source=$1 tarball=$2 sha256=$3
  apt-get -q source "$source" >/dev/null 2>&1 || { say "apt-get source $source failed"; exit 1; }
  echo "$sha256  $tarball" | sha256sum -c --quiet - || { say "$tarball: wrong hash"; exit 1; }
}

# Debian's qtbase has no SQLite of its own: its amalgamation is made from
# Debian's sqlite3 source and put where Qt's bundled-SQLite build looks.
add_sqlite_amalgamation() {
  local qtbase=$1
  fetch_source "$sqlite_source" "$sqlite_tarball" "$sqlite_sha256"
  (cd sqlite3-3.40.1 && ./configure --disable-tcl >/dev/null && make -s sqlite3.c >/dev/null)
  mkdir -p "$qtbase/src/3rdparty/sqlite"
  cp sqlite3-3.40.1/sqlite3.c sqlite3-3.40.1/sqlite3.h "$qtbase/src/3rdparty/sqlite/"
}

build_qtbase() {
  local prefix=$1 qtbase
  fetch_source "$qt_source" "$qt_tarball" "$qt_sha256"
  qtbase="$PWD/$(ls -d qt6-base-*/ | head -1)"
  add_sqlite_amalgamation "$qtbase"
  mkdir -p qtbase-build
  cd qtbase-build
  # Debian's source lacks src/3rdparty/wintab: no tablet events. Direct2D
  # stays on: without it qwindows.dll doesn't link in 6.4.2.
  "$qtbase/configure" -prefix "$prefix" -release -shared \
    -xplatform win32-g++ -qt-host-path /usr \
    -nomake tests -nomake examples \
    -no-opengl -no-dbus -no-icu -no-ssl -no-openssl \
    -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
    -no-feature-zstd -no-feature-vulkan \
    -sql-sqlite -qt-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql -no-sql-ibase \
    -no-sql-oci -no-sql-db2 \
    -no-feature-network -no-feature-testlib -no-feature-concurrent \
    -no-feature-xml -no-feature-printsupport -no-feature-androiddeployqt \
    -no-feature-tabletevent \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >../qtbase-configure.log 2>&1 \
    || { tail -40 ../qtbase-configure.log >&2; say "configure failed (log: $PWD/../qtbase-configure.log)"; exit 1; }
  cd ..
  finish_qtbase
}

# Builds and installs the configured qtbase; an interrupted build goes on
# from where it stopped.
finish_qtbase() {
  cmake --build qtbase-build --parallel "$jobs" >>qtbase-build.log 2>&1 \
    || { tail -40 qtbase-build.log >&2; say "build failed (log: $PWD/qtbase-build.log)"; exit 1; }
  cmake --install qtbase-build >/dev/null || { say "install failed"; exit 1; }
}

# uchardet as a static library with its pkg-config file, as on Linux.
build_uchardet() {
  local prefix=$1
  fetch_source "$uchardet_source" "$uchardet_tarball" "$uchardet_sha256"
  cmake -S uchardet-0.0.7 -B uchardet-build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_BINARY=OFF >uchardet-configure.log
  cmake --build uchardet-build --parallel "$jobs" >uchardet-build.log
  cmake --install uchardet-build >/dev/null
}

main() {
  ensure_source_entries
  ensure_packages
  local hash prefix work started
  hash=$(cat "${BASH_SOURCE[0]}" "$toolchain" | sha256sum | cut -c1-12)
  prefix="$cache/qt-$hash"
  if [[ -f "$prefix/.complete" ]]; then
    say "reusing $prefix"
    echo "$prefix"
    return
  fi
  started=$(date +%s)
  work="$cache/work-$hash"
  if [[ -f "$work/qtbase-build/build.ninja" && -f "$prefix/mingw-w64.cmake" ]]; then
    say "going on with the interrupted build in $work"
    (
      cd "$work"
      finish_qtbase
    )
  else
    say "building Qt for Windows into $prefix (about half an hour on 2 idle cores)"
    "${as_root[@]}" mkdir -p "$cache"
    "${as_root[@]}" chown "$(id -u):$(id -g)" "$cache"
    rm -rf "$prefix" "$work"
    mkdir -p "$prefix" "$work"
    # Qt's installed qt.toolchain.cmake names the toolchain file by its
    # absolute path: a copy inside the prefix keeps the prefix independent
    # of the tree.
    cp "$toolchain" "$prefix/mingw-w64.cmake"
    (
      cd "$work"
      build_uchardet "$prefix"
      build_qtbase "$prefix"
    )
  fi
  rm -rf "$work"
  touch "$prefix/.complete"
  say "built in $(($(date +%s) - started)) s"
  echo "$prefix"
}

main "$@"
