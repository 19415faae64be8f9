#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Sourced by scripts/test and scripts/run. Fast when everything is present.
set -euo pipefail

QUAVDESK_PACKAGES=(
  cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-tools-dev-tools libqt6opengl6-dev
  libfdk-aac-dev libx264-dev libswscale-dev libavcodec-dev libavutil-dev
  libplist-dev libminizip-dev zlib1g-dev libspdlog-dev libfmt-dev libicu-dev libssl-dev
  libx11-dev libx11-xcb-dev libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libxcb-xfixes0-dev libxcb-xtest0-dev
  libxtst-dev libxkbcommon-dev libxkbcommon-x11-dev libpulse-dev
  xvfb dbus pulseaudio pulseaudio-utils pkexec fonts-dejavu-core
  python3 ffmpeg iproute2 util-linux curl desktop-file-utils hicolor-icon-theme
)

missing_packages() {
  local p
  for p in "${QUAVDESK_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

enable_non_free() {
  # fdk-aac lives in Debian's non-free component: add it to the entries the
  # machine already has instead of naming any server of our own.
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    grep -q '^Components:' "$f" || continue
    sed -i -E '/^Components:/{/non-free( |$)/! s/$/ non-free/}' "$f"
    sed -i -E '/^Components:/{/non-free-firmware/! s/$/ non-free-firmware/}' "$f"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -i -E '/^deb(-src)? /{/ non-free( |$)/! s/$/ non-free/}' /etc/apt/sources.list
  fi
}

install_deps() {
  local missing
  missing=$(missing_packages | tr '\n' ' ')
  [ -z "${missing// /}" ] && return 0
  echo "Installing: $missing"
  if [ "$(id -u)" != 0 ]; then
    echo "Packages are missing and this is not root: $missing" >&2
    return 1
  fi
  enable_non_free
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
}
