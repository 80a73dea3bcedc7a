#!/usr/bin/env bash
# Configures and builds one preset (default: release) into build/PRESET:
# everything, or only the TARGETs named.
#   scripts/build.sh [PRESET [TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
[ $# -gt 0 ] && shift
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" "${targets[@]}"
