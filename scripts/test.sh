#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   scripts/test.sh                 release build
#   scripts/test.sh asan tsan       the same for other presets
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(release)
for preset in "${presets[@]}"; do
  echo "== $preset =="
  scripts/build.sh "$preset"
  ctest --preset "$preset" -j"$(nproc)"
done
