#!/usr/bin/env bash
# The slow drive S: of the test prefix: a folder shown through slowfs
# (tests/slowdrive/slowfs.c, built here for the host), which waits a number
# of milliseconds before every file-system operation, as a far share does.
# scripts/test-drives.sh gives the prefix the drive and marks it a network
# drive; this mounts and unmounts it.
#
#   scripts/slow-drive.sh mount DELAY_MS [STORE]   (default store: testdrives/s-store)
#   scripts/slow-drive.sh unmount
#
# Without /dev/fuse it says so and fails: nothing that needs the drive may
# pass without it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
mountpoint="$TANDREL_BUILD/testdrives/s"
source_file="$TANDREL_ROOT/tests/slowdrive/slowfs.c"
binary="$TANDREL_BUILD/slowdrive/slowfs"

unmount() {
    # A mount whose server is gone answers nothing, not even a stat.
    if grep -q " $mountpoint fuse" /proc/mounts; then
        fusermount3 -u "$mountpoint" 2>/dev/null || fusermount3 -uz "$mountpoint" 2>/dev/null || umount -l "$mountpoint"
    fi
}

case "${1:-}" in
    mount)
        delay="${2:?slow-drive: the delay in milliseconds is missing}"
        store="${3:-$TANDREL_BUILD/testdrives/s-store}"
        if [ ! -c /dev/fuse ]; then
            echo "slow drive: /dev/fuse is missing on this machine; the slow drive cannot be mounted" >&2
            exit 1
        fi
        if ! command -v fusermount3 >/dev/null || ! pkg-config --exists fuse3; then
            echo "slow drive: fuse3 or libfuse3-dev is not installed (scripts/setup.sh installs them)" >&2
            exit 1
        fi
        unmount
        mkdir -p "$(dirname "$binary")" "$mountpoint" "$store"
        if [ ! -x "$binary" ] || [ "$source_file" -nt "$binary" ]; then
            # shellcheck disable=SC2046
            cc -O2 -Wall -Wextra -Werror -o "$binary" "$source_file" $(pkg-config --cflags --libs fuse3)
        fi
        # Enough threads that every copy under way waits its own delay.
        "$binary" "$store" "$mountpoint" "$delay" -o max_threads=64
        if [ "$(cat "$mountpoint/.slow-drive" 2>/dev/null)" != "delay $delay ms" ]; then
            echo "slow drive: mounted, but $mountpoint/.slow-drive does not say the delay" >&2
            exit 1
        fi
        echo "slow drive S: ready, $delay ms per operation, files in $store"
        ;;
    unmount)
        unmount
        echo "slow drive S: unmounted"
        ;;
    *)
        echo "usage: slow-drive.sh mount DELAY_MS [STORE] | unmount" >&2
        exit 2
        ;;
esac
