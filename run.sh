#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Tandrel.exe under Wine with the
# arguments given. "./run.sh --demo [arguments]" starts it on an example of
# its own (a small master tree and a settings file in the Wine prefix's
# C:\Tandrel デモ), leaving the user's own settings alone.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
source scripts/env.sh
tandrel_build Tandrel
tandrel_prefix
tandrel_display
if [ "${1:-}" = --demo ]; then
    shift
    source scripts/demo.sh
    demo="$WINEPREFIX/drive_c/Tandrel デモ"
    tandrel_demo "$demo" "$demo/デモ.ini"
    set -- "/ini=$(winepath -w "$demo/デモ.ini")" "$@"
fi
status=0
wine "$TANDREL_BUILD/Tandrel.exe" "$@" || status=$?
[ -z "${TANDREL_XVFB_PID:-}" ] || kill "$TANDREL_XVFB_PID" 2>/dev/null || true
exit $status
