#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing:
# compilers and build tools, the libraries, the outside readers the
# integration tests check archives with, pigz (a peer of the benchmarks),
# rclone for the remote copies' tests (it serves WebDAV on 127.0.0.1 to
# them), and the tools that build and check
# the Debian package (icon renderer, desktop entry and unit checks, manual
# page reader, dpkg-shlibdeps).
set -euo pipefail

packages=(
  build-essential cmake clang libclang-rt-14-dev pkg-config
  zlib1g-dev libdeflate-dev libpugixml-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-utils unzip 7zip libarchive-tools python3 zip pigz
  libsystemd-dev libx11-dev dbus-daemon python3-dbusmock xvfb
  qt6-base-dev libqt6svg6 qt6-translations-l10n libgl-dev fonts-dejavu-core
  librsvg2-bin desktop-file-utils dpkg-dev man-db systemd rclone
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi
