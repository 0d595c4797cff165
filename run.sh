#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Tandrel.exe under Wine with the
# arguments given.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
source scripts/env.sh
tandrel_build Tandrel
tandrel_prefix
tandrel_display
status=0
wine "$TANDREL_BUILD/Tandrel.exe" "$@" || status=$?
[ -z "${TANDREL_XVFB_PID:-}" ] || kill "$TANDREL_XVFB_PID" 2>/dev/null || true
exit $status
