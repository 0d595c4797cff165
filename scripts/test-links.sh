#!/usr/bin/env bash
# Real links for the engine tests, made on the Unix side, where Wine shows a
# link to a folder as a reparse point. On drive G: (G:\links): a master tree
# with a link to its own root (a loop) and one to a folder outside it, and a
# backup tree holding two links to a third folder. The link targets hold
# only expendable files that a test checks are still there. Beside them a
# master whose names differ only in letter case, as a case-sensitive share
# or folder holds them, and a backup that holds a folder in both spellings.
# For the settings tests, settings files that are
# links: G:\links\settings\link.ini a symbolic link to real\Tandrel.ini, and
# G:\links\app\other.ini a hard link of work.ini; the tests write them anew.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
root="$TANDREL_BUILD/testdrives/g/links"
rm -rf "$root"
mkdir -p "$root/master/sub" "$root/outside" "$root/outside-b" "$root/backup" "$root/cases/Data" "$root/cases/data" \
    "$root/twin-backup/Data" "$root/twin-backup/data"
printf m >"$root/master/m.txt"
printf s >"$root/master/sub/s.txt"
printf keep >"$root/outside/precious.txt"
printf keep >"$root/outside-b/precious.txt"
printf upper >"$root/cases/Report.txt"
printf lower >"$root/cases/report.txt"
printf x >"$root/cases/Data/x.txt"
printf y >"$root/cases/data/y.txt"
printf old >"$root/twin-backup/data/old.txt"
ln -s "$root/master" "$root/master/loop"
ln -s "$root/outside" "$root/master/out"
ln -s "$root/outside-b" "$root/backup/inlink"
ln -s "$root/outside-b" "$root/backup/stray"
mkdir -p "$root/settings/real" "$root/app"
printf '' >"$root/settings/real/Tandrel.ini"
ln -s real/Tandrel.ini "$root/settings/link.ini"
printf '' >"$root/app/work.ini"
ln "$root/app/work.ini" "$root/app/other.ini"
echo "test links in G:\\links ready"
