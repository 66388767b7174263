#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent, and quiet when all is there.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev qt6-multimedia-dev libqt6opengl6-dev
  libsdl2-dev libasound2-dev libpng-dev libjpeg-dev libtiff-dev zlib1g-dev libgif-dev libcups2-dev libxcb1-dev
  cups-daemon
  libtiff-tools libjpeg-turbo-progs
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool poppler-utils fonts-liberation2 locales python3
  gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
