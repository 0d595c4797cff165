#!/usr/bin/env bash
# Gives the test prefix the drives E: to H:, each a folder of the build tree,
# so tests can set volume labels by writing .windows-label into them, and
# the network drive S:, the folder that scripts/slow-drive.sh mounts slowfs
# over. Wine's mount manager reads drive types when its services start, so
# this runs before they do (a run that must add the type ends Wine first).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
for d in e f g h s; do
    mkdir -p "$TANDREL_BUILD/testdrives/$d" 2>/dev/null || true  # s may be a mount whose server is gone
    ln -sfn "$TANDREL_BUILD/testdrives/$d" "$WINEPREFIX/dosdevices/$d:"
done
if ! grep -qi '^"s:"="network"' "$WINEPREFIX/system.reg" 2>/dev/null; then
    wine reg add 'HKLM\Software\Wine\Drives' /v s: /d network /f >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
    wineserver -w
fi
echo "test drives E: to H: and S: ready"
