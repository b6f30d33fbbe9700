#!/usr/bin/env bash
# Installs the Debian packages the game and its tests need, only those missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  libgtest-dev libgmock-dev libbenchmark-dev
  libexpat1-dev liblua5.2-dev libluabind-dev libboost-dev
  libcal3d12-dev libbullet-dev
  libsdl2-dev libsdl2-mixer-dev libepoxy-dev libstb-dev fonts-dejavu-core
  libgl1-mesa-dri libegl-mesa0 libegl1
  clang libclang-rt-14-dev
  libvorbis-dev espeak-ng
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
