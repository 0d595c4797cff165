#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through CTest under
# Wine (window tests on a virtual display when there is none).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
source scripts/env.sh
tandrel_build
tandrel_prefix
# The test drives must exist before Wine's mount manager starts: it only
# reads labels of drives it knows.
scripts/test-drives.sh >/dev/null
tandrel_display
# One wineserver for the whole run instead of one per test program.
wineserver -p 2>/dev/null || true  # one may already be running
# Start Wine's own services now, detached from CTest's output pipes: a test
# program that started them would leave them holding its pipe open.
wine wineboot </dev/null >/dev/null 2>&1 || true
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -z "${TANDREL_XVFB_PID:-}" ] || kill "$TANDREL_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
cd "$TANDREL_BUILD"
ctest --output-on-failure --timeout 300 "$@"
