#!/usr/bin/env bash
# Builds the release preset's engine_bench and runs the block benchmarks
# (memset, memcpy, FillBlock, CheckBlock on every pattern loop version the CPU
# runs, and the plain per-sector loops) REPS times each, then prints the CPU,
# the load and a table of medians with their spread and their ratios to
# memset and to the plain loop. The benchmarks touch memory only, no files.
#   scripts/bench-kernels.sh [REPS]     default 9
set -euo pipefail
cd "$(dirname "$0")/.."
reps="${1:-9}"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target engine_bench >/dev/null

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1)," \
  "$(nproc) logical CPUs; flags: $(grep -m 1 -o -w -E 'avx2|avx512[a-z_]*|popcnt' /proc/cpuinfo |
    sort -u | tr '\n' ' ')"
echo "Load average before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
build/release/bench/engine_bench --benchmark_filter='^BM_(Memset|Memcpy|FillBlock|CheckBlock)' \
  --benchmark_repetitions="$reps" --benchmark_format=json | python3 -c '
import json, statistics, sys

data = json.load(sys.stdin)
runs = {}
order = []
for b in data["benchmarks"]:
    if b.get("run_type") != "iteration" or "bytes_per_second" not in b:
        continue
    name = b["run_name"]
    if name not in runs:
        runs[name] = []
        order.append(name)
    runs[name].append(b["bytes_per_second"])

median = {n: statistics.median(v) for n, v in runs.items()}

def plain_of(name):
    base = name.split("/")[0]
    if base == "BM_FillBlock":
        return "BM_FillBlockPlain"
    if base == "BM_CheckBlockIntact":
        return "BM_CheckBlockPlain"
    if base.startswith("BM_CheckBlock") and not base.endswith("Plain"):
        return base + "Plain"
    return None

print("Auto path: " + data["context"].get("kernel_path_auto", "?") +
      "; %d repetitions; medians, spread = (max - min) / median" % len(runs[order[0]]))
print()
print("| benchmark | median GB/s | spread | x memset | x plain |")
print("| --- | ---: | ---: | ---: | ---: |")
for n in order:
    v = runs[n]
    m = median[n]
    spread = (max(v) - min(v)) / m * 100
    plain = plain_of(n)
    vs_plain = "%.1f" % (m / median[plain]) if plain in median else ""
    print("| %s | %.1f | %.0f%% | %.2f | %s |" % (n, m / 1e9, spread, m / median["BM_Memset"], vs_plain))
'
echo
echo "Load average after: $(cut -d ' ' -f 1-3 /proc/loadavg)"
