#!/usr/bin/env bash
# Builds the sector check fuzzer with Clang into build/fuzz and runs it for a
# fixed number of inputs with a fixed seed, from a fresh copy of the committed
# seed corpus, so that two runs of the same tree try the same inputs. Any
# finding (a difference from the model, a sanitizer report, a crash, a leak)
# fails the script; the input that caused it is left in build/fuzz/artifacts/.
#   scripts/fuzz.sh [RUNS]     default 20000
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
runs="${1:-20000}"
build=build/fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALVEX_BUILD_FUZZ=ON -DKALVEX_BUILD_GUI=OFF -DKALVEX_BUILD_BENCH=OFF \
  -DKALVEX_BUILD_TESTS=OFF -DKALVEX_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" --target sector_check_fuzzer -j"$(nproc)"

# The fuzzer adds what it finds to its corpus folder: a copy keeps the
# committed seeds as they are and every run starting from the same inputs.
corpus="$build/corpus/sector_check"
rm -rf "$build/corpus" "$build/artifacts"
mkdir -p "$corpus" "$build/artifacts"
cp fuzz/corpus/sector_check/* "$corpus/"
"$build/fuzz/sector_check_fuzzer" -runs="$runs" -seed=1 -max_len=2048 \
  -artifact_prefix="$build/artifacts/" "$corpus"
