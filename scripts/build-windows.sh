#!/usr/bin/env bash
# Cross-builds the 64-bit Windows programs with mingw-w64 into build/windows
# (kalvex-cli.exe in build/windows/cli/, the desktop program where its
# sources are in the tree), with their tests; installs what is missing first.
#   scripts/build-windows.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

# The compilers, Wine to run the tests (64-bit only), Xvfb for the desktop
# program's tests, GoogleTest's sources (built here with the same
# toolchain), and the header-only libraries kalvex-cli takes from Debian.
packages=(cmake make python3 mingw-w64 wine64 wine xvfb googletest libcli11-dev nlohmann-json3-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" "${targets[@]}"
for exe in build/windows/cli/kalvex-cli.exe build/windows/ui/win32/Kalvex.exe; do
  [ -f "$exe" ] && echo "built: $exe"
done
exit 0
