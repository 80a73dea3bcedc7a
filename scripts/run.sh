#!/usr/bin/env bash
# Installs what is missing, builds the two programs, and tests a medium.
#   scripts/run.sh              starts the desktop program (needs a display)
#   scripts/run.sh FOLDER       tests FOLDER from the terminal: writes test
#                               files into all its free space, reads them back
#                               and prints the report
#   scripts/run.sh FOLDER --size 500    only 500 MByte
# FOLDER is where the medium is mounted; `findmnt` or
# `lsblk -o NAME,SIZE,MOUNTPOINTS` show it, usually under /media/NAME/ or
# /run/media/NAME/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only the programs: the tests and benchmarks would keep a newcomer waiting
# for nothing here; scripts/test.sh builds them.
scripts/build.sh release kalvex-cli kalvex
if [ $# -eq 0 ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/release/ui/qt/kalvex
  fi
  cat >&2 <<'TEXT'
No display found. Give the folder of the medium to test from the terminal:
  scripts/run.sh FOLDER
Where a medium is mounted: findmnt, or lsblk -o NAME,SIZE,MOUNTPOINTS
TEXT
  exit 3
fi
exec build/release/cli/kalvex-cli test "$@"
