#!/usr/bin/env bash
# Builds the benchmarks and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/env.sh
tandrel_build settings_bench
tandrel_build filter_bench
tandrel_build window_bench
tandrel_build history_bench
tandrel_prefix
echo "== settings store (1000 settings over 10 projects), beside the profile functions"
wine "$TANDREL_BUILD/settings_bench.exe" 100 10 --old
echo "== settings store (1000 settings in 1 project)"
wine "$TANDREL_BUILD/settings_bench.exe" 1000 1
echo "== target filters (2000 wildcard entries over 10,000 paths)"
wine "$TANDREL_BUILD/filter_bench.exe" 2000 10000
echo "== history clean-up (1,000 run folders)"
wine "$TANDREL_BUILD/history_bench.exe" 1000
echo "== the window at the scale of a large run (100,000 rows, 1,000 settings)"
(tandrel_display >/dev/null; trap '[ -z "${TANDREL_XVFB_PID:-}" ] || kill "$TANDREL_XVFB_PID"' EXIT
 wine "$TANDREL_BUILD/window_bench.exe" 100000)
echo "== mirroring against the floor: bench/engine.sh (slow; bench/engine.sh --quick for 20,000 files)"
