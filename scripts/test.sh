#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   scripts/test.sh                 release build
#   scripts/test.sh asan tsan       the same for other presets
#   scripts/test.sh windows         the Windows programs, cross-built with
#                                   mingw-w64, their tests run under Wine
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(release)

for preset in "${presets[@]}"; do
  echo "== $preset =="
  if [ "$preset" = windows ]; then
    scripts/build-windows.sh
    # A fresh Wine prefix in the build folder, made once before the tests
    # (the first start takes a while); the test preset points Wine at it.
    export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    ctest --preset windows -j"$(nproc)"
  else
    scripts/install-deps.sh
    scripts/build.sh "$preset"
    ctest --preset "$preset" -j"$(nproc)"
  fi
done
