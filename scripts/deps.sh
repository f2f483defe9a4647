#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# As root it runs apt-get; otherwise it prints the exact line and stops.
#   scripts/deps.sh [--qt5|--qt6] [extra package ...]
# The Qt packages are those of Qt 5.15 unless --qt6 or RCONF_QT=6 asks for Qt 6.
set -euo pipefail
qt="${RCONF_QT:-5}"
extra=()
for a in "$@"; do
  case "$a" in
    --qt5) qt=5 ;;
    --qt6) qt=6 ;;
    *) extra+=("$a") ;;
  esac
done
case "$qt" in
  5) qt_packages=(qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5charts5-dev) ;;
  6) # Qt 6 Charts' CMake package needs the OpenGL module's, which its package does not pull in.
     qt_packages=(qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev) ;;
  *) echo "RCONF_QT must be 5 or 6, not '$qt'" >&2; exit 2 ;;
esac
packages=(cmake make g++ pkg-config "${qt_packages[@]}" ccache "${extra[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages. Install them with:"
  echo "  sudo apt-get install -y ${missing[*]}"
  exit 1
fi
