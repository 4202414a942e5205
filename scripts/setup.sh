#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and
# only those missing. On Debian (or Ubuntu) they are installed with apt, as
# root or through sudo; anywhere else, or without a way to become root, the
# missing ones are named and the build goes on with what the machine has
# (CMake says what it can't find).
set -uo pipefail

packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev libqt6sql6-sqlite qt6-multimedia-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio libqt6svg6 qt6-image-formats-plugins libgl-dev
  qt6-translations-l10n xdg-utils libuchardet-dev libuchardet0
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  fonts-arphic-ukai fonts-arphic-gkai00mp fonts-dejavu-core
  xvfb xauth xdotool imagemagick x11-utils x11-xserver-utils libxcb1-dev libxcb-shape0-dev libxcb-xtest0-dev pulseaudio pulseaudio-utils libpulse-dev
  openbox tint2 picom xcompmgr xfwm4 xfce4-panel dbus-daemon
  sway grim wtype qt6-wayland libwayland-dev
  desktop-file-utils appstream man-db file dpkg-dev fakeroot lintian
)

if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
  echo "setup: not a Debian system; make sure the equivalents of these Debian packages are installed" \
       "(the README lists them for Fedora): ${packages[*]}" >&2
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

cannot_install() {
  echo "setup: these packages are missing and can't be installed ($1): ${missing[*]}" >&2
  echo "setup: carrying on with what is there" >&2
  exit 0
}
as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || cannot_install "not root, and no sudo"
  # Without a terminal sudo can't ask for a password.
  sudo -n true 2>/dev/null || [[ -t 0 ]] || cannot_install "sudo needs a password"
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! "${as_root[@]}" apt-get update -q \
   || ! "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  echo "setup: apt could not install: ${missing[*]}; carrying on" >&2
fi
exit 0
