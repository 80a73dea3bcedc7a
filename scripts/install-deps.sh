#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Kalvex needs to build and test, only
# those that are missing. Runs apt-get through sudo when not root.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
  appstream desktop-file-utils
  clang libclang-rt-14-dev
  libfuse3-dev fuse3 libblkid-dev
  e2fsprogs exfatprogs exfat-fuse ntfs-3g dosfstools
  jq util-linux mount time fio
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
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
