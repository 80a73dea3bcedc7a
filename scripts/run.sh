#!/usr/bin/env bash
# Installs what is missing, builds, and tests a medium.
#   scripts/run.sh              starts the desktop program (needs a display)
#   scripts/run.sh FOLDER       tests FOLDER from the terminal: writes test
#                               files into all its free space, reads them back
#                               and prints the report
#   scripts/run.sh FOLDER --size 500    only 500 MByte
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
if [ $# -eq 0 ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/release/ui/qt/kalvex
  fi
  echo "No display found. Give a folder to test from the terminal: scripts/run.sh FOLDER" >&2
  exit 3
fi
exec build/release/cli/kalvex-cli test "$@"
