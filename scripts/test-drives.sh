#!/usr/bin/env bash
# Gives the test prefix the drives E: to H:, each a folder of the build tree,
# so tests can set volume labels by writing .windows-label into them.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
for d in e f g h; do
    mkdir -p "$TANDREL_BUILD/testdrives/$d"
    ln -sfn "$TANDREL_BUILD/testdrives/$d" "$WINEPREFIX/dosdevices/$d:"
done
echo "test drives E: to H: ready"
