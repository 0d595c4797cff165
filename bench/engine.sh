#!/usr/bin/env bash
# Times mirroring as whole processes against the floor (a plain mirror walk
# with the same system calls): Tandrel.exe /auto with its window, the engine
# alone (headless driver), the floor and xcopy, in turn, on generated trees
# and on large files, and prints the medians, the ratios of every round and
# the peak memory (the window run's also on a 200-file tree). Every run is
# checked: its counts and the backup it leaves.
#
#   bench/engine.sh            20,000 and 100,000 files, 3 rounds, every scenario
#   bench/engine.sh --quick    20,000 files, 3 rounds, no large files
#   bench/engine.sh [--quick] [--files 2000,20000] [--pairs N]
#                   [--scenarios nochange,change,firstcopy,moves,large8m,large2g]
#                   (moves: a folder of 5,000 files, 500 MB, renamed near the
#                   root and 1 % of the files moved, against no change on the
#                   same tree; in no default run: it needs 1 GB of disk)
#                   [--programs window,history,engine,engine1,floor,xcopy] [--timeout SECONDS]
#                   (history: the window run with the history of removed
#                   files on, after the 1 % change only, against window;
#                   engine1: the engine copying one file at a time)
#                   [--before DIR]  (also time DIR's Tandrel.exe and
#                                    engine_driver.exe, another build's, in
#                                    the same rounds: before and after)
#                   [--no-build]   (time the programs build/ already holds)
#   bench/engine.sh --slow 0,2,10 [--files 20000] [--programs engine,engine1,floor]
#                   the backup on the slow drive S: (scripts/slow-drive.sh:
#                   every operation waits the delay in ms; a network drive
#                   of the prefix), first copy and 1 % change only; needs
#                   /dev/fuse and stops without it
#
# The same settings come from the environment: BENCH_FILES, BENCH_PAIRS,
# BENCH_SCENARIOS, BENCH_PROGRAMS, BENCH_TIMEOUT (seconds per process), BENCH_SLOW,
# BENCH_BEFORE, BENCH_WORK (where the trees go; default build/bench-engine).
# A build to compare with: git worktree add ../before <commit>, then in it
# source scripts/env.sh; tandrel_build Tandrel; tandrel_build engine_driver,
# and --before ../before/build.
set -euo pipefail
cd "$(dirname "$0")/.."

files="${BENCH_FILES:-}"
pairs="${BENCH_PAIRS:-}"
scenarios="${BENCH_SCENARIOS:-}"
programs="${BENCH_PROGRAMS:-}"
before="${BENCH_BEFORE:-}"
timeout="${BENCH_TIMEOUT:-1800}"
slow="${BENCH_SLOW:-}"
quick=0
build=1
while (($#)); do
    case "$1" in
        --quick) quick=1 ;;
        --files) files="$2"; shift ;;
        --pairs) pairs="$2"; shift ;;
        --scenarios) scenarios="$2"; shift ;;
        --programs) programs="$2"; shift ;;
        --before) before="$(cd "$2" && pwd)"; shift ;;
        --timeout) timeout="$2"; shift ;;
        --no-build) build=0 ;;
        --slow) slow="$2"; shift ;;
        -h|--help) awk 'NR > 1 && /^#/ { print; next } NR > 1 { exit }' "$0"; exit 0 ;;
        *) echo "engine.sh: unknown argument $1" >&2; exit 2 ;;
    esac
    shift
done
if ((quick)); then
    files="${files:-20000}"
    scenarios="${scenarios:-nochange,change,firstcopy}"
fi
if [ -n "$slow" ]; then
    if [ ! -c /dev/fuse ]; then
        echo "engine.sh: /dev/fuse is missing on this machine: the slow drive cannot be mounted, nothing is timed" >&2
        exit 1
    fi
    files="${files:-20000}"
    scenarios="${scenarios:-firstcopy,change}"
    programs="${programs:-engine,engine1,floor}"
fi
files="${files:-20000,100000}"
programs="${programs:-window,history,engine,floor,xcopy}"
pairs="${pairs:-3}"
scenarios="${scenarios:-nochange,change,firstcopy,large8m,large2g}"

scripts/setup.sh
if ! command -v python3 >/dev/null || [ ! -x /usr/bin/time ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get install -y -qq python3 time >/dev/null
fi
source scripts/env.sh
if ((build)); then
    tandrel_build Tandrel
    tandrel_build floor_mirror
    tandrel_build engine_driver
fi
tandrel_prefix
# The slow drive S: must be known before Wine's services start.
[ -z "$slow" ] || scripts/test-drives.sh >/dev/null
tandrel_display
if [ -n "${TANDREL_XVFB_PID:-}" ]; then trap 'kill "$TANDREL_XVFB_PID" 2>/dev/null || true' EXIT; fi
work="${BENCH_WORK:-$TANDREL_BUILD/bench-engine}"
# The trees must be what they claim before anything is timed on them.
if ! checks=$(python3 bench/trees_test.py 2>&1); then echo "$checks"; exit 1; fi

echo "== mirroring against the floor: $files files, $pairs rounds, time-out ${timeout} s per process"
python3 bench/engine.py --build "$TANDREL_BUILD" --work "$work" --files "$files" --pairs "$pairs" \
    --scenarios "$scenarios" --programs "$programs" --timeout "$timeout" ${before:+--before "$before"} \
    ${slow:+--slow "$slow" --slow-script scripts/slow-drive.sh}
