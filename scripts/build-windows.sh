#!/usr/bin/env bash
# Builds Quenlo for 64-bit Windows on this Debian machine, from the same
# sources, and packs it two ways, into build-windows/ (or $QUENLO_WINDOWS_BUILD_DIR):
#   QuenloSetup-<version>.exe   the installer (NSIS): Program Files, Start menu,
#                               Add/Remove Programs
#   Quenlo-<version>-portable.zip  the program folder, unpacked anywhere
# Qt for Windows comes from scripts/windows-qt.sh (built once, then cached).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUENLO_WINDOWS_BUILD_DIR:-$root/build-windows}"
started=$(date +%s)

say() { echo "build-windows: $*" >&2; }

QUENLO_WINDOWS_QT=$("$root/scripts/windows-qt.sh" | tail -1)
export QUENLO_WINDOWS_QT
objdump=x86_64-w64-mingw32-objdump
mingw_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
mkdir -p "$build"
windows_tests=OFF
[[ -d /usr/src/googletest ]] && windows_tests=ON
cmake --preset windows -S "$root" -B "$build" -DQUENLO_BUILD_WINDOWS_TESTS=$windows_tests "${launcher[@]}" >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log" >&2; exit 1; }

targets=(quenlo)
# The platform tests for Wine (scripts/test-windows.sh runs them).
[[ $windows_tests == ON ]] && targets+=(platform_core_test)
cmake --build "$build" --target "${targets[@]}" --parallel "$(nproc)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# ---- The program folder: the install layout (bin\quenlo.exe, share\quenlo\),
# the DLLs it imports and the Qt plugins it loads.
image="$build/image"
rm -rf "$image"
cmake --install "$build" --prefix "$image" >/dev/null
bin="$image/bin"
x86_64-w64-mingw32-strip "$bin/quenlo.exe"

# The plugins Qt loads by name: the platform, the native style, the record's
# SQLite driver and the JPEG reader of the library editor's picture.
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll sqldrivers/qsqlite.dll
         imageformats/qjpeg.dll imageformats/qico.dll)
for plugin in "${plugins[@]}"; do
  mkdir -p "$bin/$(dirname "$plugin")"
  cp "$QUENLO_WINDOWS_QT/plugins/$plugin" "$bin/$plugin"
done

# Every DLL that the executable and the plugins import, found in Qt's bin
# folder or the MinGW runtime; Windows' own DLLs are left to the system.
dll_source() {
  local name=$1 folder
  for folder in "$QUENLO_WINDOWS_QT/bin" "$mingw_runtime" /usr/x86_64-w64-mingw32/lib; do
    if [[ -f "$folder/$name" ]]; then
      echo "$folder/$name"
      return
    fi
  done
}
copy_imports() { # copy_imports <folder> <binaries...>: the DLLs they need, into the folder
  local folder=$1 binary name source
  shift
  local pending=("$@")
  while ((${#pending[@]})); do
    binary=${pending[0]}
    pending=("${pending[@]:1}")
    while read -r name; do
      [[ -f "$folder/$name" ]] && continue
      source=$(dll_source "$name")
      [[ -n "$source" ]] || continue # a DLL of Windows itself
      cp "$source" "$folder/$name"
      pending+=("$folder/$name")
    done < <("$objdump" -p "$binary" | sed -n 's/^\s*DLL Name: //p')
  done
}
copy_imports "$bin" "$bin/quenlo.exe" "${plugins[@]/#/$bin/}"
find "$bin" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

if [[ -f "$build/tests-windows/platform_core_test.exe" ]]; then
  copy_imports "$build/tests-windows" "$build/tests-windows/platform_core_test.exe"
fi

# ---- The installer and the portable zip.
icon="$root/packaging/windows/quenlo.ico"
rm -f "$build"/QuenloSetup-*.exe "$build"/Quenlo-*-portable.zip
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DIMAGE="$image" -DICON="$icon" \
  -DOUTFILE="$build/QuenloSetup-$version.exe" "$root/packaging/windows/quenlo.nsi"

# Portable: the program with database\ and Sound\ beside it, as in a build
# folder; the program keeps the user's files in that database\ folder.
portable="$build/portable/Quenlo"
rm -rf "$build/portable"
mkdir -p "$portable"
cp -r "$bin"/. "$portable/"
cp -r "$image/share/quenlo"/. "$portable/"
cp -r "$image/translations" "$portable/"
printf '[Paths]\nPrefix = .\n' >"$portable/qt.conf"
(cd "$build/portable" && zip -qr -9 "$build/Quenlo-$version-portable.zip" Quenlo)

say "quenlo.exe $version: $(du -sh "$bin" | cut -f1) program folder"
say "$(ls -sh "$build/QuenloSetup-$version.exe" "$build/Quenlo-$version-portable.zip" | tr '\n' ' ')"
say "done in $(($(date +%s) - started)) s"
