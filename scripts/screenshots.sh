#!/usr/bin/env bash
# Renders the program's windows (idle with a target, running, finished with
# and without errors, in German and English, and the About box) to PNG files
# under docs/screenshots, on Qt's offscreen platform: no display needed.
#
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build/screenshots)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/screenshots}"
out="$root/docs/screenshots"

cmake -S "$root" -B "$build" -DKALVEX_BUILD_GUI=ON -DKALVEX_BUILD_TESTS=ON \
      -DKALVEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target kalvex_screenshots -j"$(nproc)"

mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/tests/ui/qt/kalvex_screenshots" "$out"
