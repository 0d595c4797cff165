#!/usr/bin/env bash
# Builds the benchmarks and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/env.sh
tandrel_build settings_bench
tandrel_build filter_bench
tandrel_prefix
echo "== settings store (200 settings, 1 project)"
wine "$TANDREL_BUILD/settings_bench.exe" 200 1
echo "== settings store (100 settings, 10 projects)"
wine "$TANDREL_BUILD/settings_bench.exe" 100 10
echo "== target filters (2000 wildcard entries over 10,000 paths)"
wine "$TANDREL_BUILD/filter_bench.exe" 2000 10000
