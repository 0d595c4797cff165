#!/usr/bin/env bash
# Builds the benchmarks and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/env.sh
tandrel_build settings_bench
tandrel_build engine_bench
tandrel_prefix
echo "== settings store (200 settings, 1 project)"
wine "$TANDREL_BUILD/settings_bench.exe" 200 1
echo "== settings store (100 settings, 10 projects)"
wine "$TANDREL_BUILD/settings_bench.exe" 100 10
echo "== engine (update runs over 20,000 small files)"
wine "$TANDREL_BUILD/engine_bench.exe" 20000 100
echo "== mirroring against the floor: bench/engine.sh (slow; bench/engine.sh --quick for 20,000 files)"
