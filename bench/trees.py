#!/usr/bin/env python3
"""Reproducible folder trees for the mirroring benchmark, made on the Unix
side (much faster than from inside Wine).

  trees.py generate DIR FILES FOLDERS [SEED]  a tree of FILES files of 1-8 KiB
                                              in FOLDERS folders
  trees.py large DIR COUNT MIB [SEED]         COUNT files of MIB MiB each
  trees.py change BASE DIR [SEED]             DIR = BASE with 1 % of the files
                                              changed, 0.5 % deleted, 0.5 % added
  trees.py moves BASE WITH MOVED [SEED]       WITH = BASE and a folder of 5,000
                                              files of 100 KB near the root;
                                              MOVED = WITH with that folder
                                              renamed and 1 % of BASE's files
                                              moved to other folders
  trees.py sync SRC DST                       make DST equal to SRC (names,
                                              sizes, times), copying only what differs
  trees.py compare A B                        exit 0 when the trees are equal

Every byte and every time stamp follows from the seed. Times are whole
seconds in UTC, so a Windows listing under Wine reads exactly these
last-write times (Wine reports st_mtime as the last-write time).
"""
import os
import random
import shutil
import stat
import sys

# 2024-01-15 09:00:00 UTC; files are spread over the following year.
BASE_TIME = 1705309200
YEAR = 365 * 24 * 3600
DAY = 24 * 3600


def folder_names(folders):
    """FOLDERS relative folder paths: groups of one top folder and up to 19
    sub-folders, so the tree has depth as real data has."""
    out = []
    group = 0
    while len(out) < folders:
        top = f"g{group:04d}"
        out.append(top)
        for sub in range(19):
            if len(out) >= folders:
                break
            # Some names outside ASCII, as Japanese users have them.
            name = f"写真{sub:02d}" if sub % 5 == 4 else f"s{sub:02d}"
            out.append(f"{top}/{name}")
        group += 1
    return out


def file_name(index):
    return f"資料{index:06d}.txt" if index % 10 == 3 else f"f{index:06d}.dat"


def write_file(path, data, mtime):
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, ns=(mtime * 10**9, mtime * 10**9))


def set_folder_times(root, folders):
    # Deepest first: creating entries changes the parent's time.
    for rel in sorted(folders, key=lambda p: -p.count("/")):
        os.utime(os.path.join(root, rel), ns=(BASE_TIME * 10**9,) * 2)
    os.utime(root, ns=(BASE_TIME * 10**9,) * 2)


def generate(root, files, folders, seed):
    rng = random.Random(seed)
    if os.path.exists(root):
        shutil.rmtree(root)
    names = folder_names(folders)
    os.makedirs(root)
    for rel in names:
        os.makedirs(os.path.join(root, rel))
    for i in range(files):
        folder = names[i % len(names)]
        size = rng.randint(1024, 8192)
        mtime = BASE_TIME + rng.randrange(YEAR)
        write_file(os.path.join(root, folder, file_name(i)), rng.randbytes(size), mtime)
    set_folder_times(root, names)


def generate_large(root, count, mib, seed):
    """COUNT files of MIB MiB in one folder. The bytes repeat a random block
    of 16 MiB (cheap to make, and nothing a file system would take for
    sparse or compress)."""
    rng = random.Random(seed)
    if os.path.exists(root):
        shutil.rmtree(root)
    os.makedirs(root)
    block = rng.randbytes(16 << 20)
    for i in range(count):
        path = os.path.join(root, f"large{i:03d}.bin")
        left = mib << 20
        with open(path, "wb") as f:
            offset = rng.randrange(len(block))
            while left:
                piece = block[offset:offset + left]
                f.write(piece)
                left -= len(piece)
                offset = 0
        mtime = BASE_TIME + rng.randrange(YEAR)
        os.utime(path, ns=(mtime * 10**9, mtime * 10**9))
    os.utime(root, ns=(BASE_TIME * 10**9,) * 2)


def walk(root):
    """{relative path: (is_folder, size, mtime seconds)} of a whole tree."""
    out = {}
    stack = [""]
    while stack:
        rel = stack.pop()
        with os.scandir(os.path.join(root, rel) if rel else root) as it:
            for e in it:
                path = f"{rel}/{e.name}" if rel else e.name
                st = e.stat(follow_symlinks=False)
                if stat.S_ISDIR(st.st_mode):
                    out[path] = (True, 0, 0)
                    stack.append(path)
                else:
                    out[path] = (False, st.st_size, st.st_mtime_ns // 10**9)
    return out


def change(base, root, seed):
    rng = random.Random(seed + 1)
    if os.path.exists(root):
        shutil.rmtree(root)
    shutil.copytree(base, root, copy_function=shutil.copy2)
    tree = walk(root)
    files = sorted(p for p, (folder, _, _) in tree.items() if not folder)
    folders = sorted(p for p, (folder, _, _) in tree.items() if folder)
    n = len(files)
    picked = rng.sample(files, n // 100 + n // 200)
    changed, deleted = picked[: n // 100], picked[n // 100 :]
    for rel in changed:
        # A newer time and, mostly, another size: what an edit leaves.
        _, _, mtime = tree[rel]
        write_file(os.path.join(root, rel), rng.randbytes(rng.randint(1024, 8192)), mtime + DAY + rng.randrange(DAY))
    for rel in deleted:
        os.remove(os.path.join(root, rel))
    for i in range(n // 200):
        folder = rng.choice(folders)
        write_file(os.path.join(root, folder, f"追加{i:06d}.dat"), rng.randbytes(rng.randint(1024, 8192)),
                   BASE_TIME + YEAR + rng.randrange(DAY))
    set_folder_times(root, folders)
    print(f"{root}: {len(changed)} changed, {len(deleted)} deleted, {n // 200} added")
    return {"files": n, "changed": len(changed), "deleted": len(deleted), "added": n // 200}


BIG_FOLDER = "album"
BIG_RENAMED = "album-2024"


def moves(base, with_big, moved, seed, big_files=5000, big_size=100 * 1024):
    """WITH_BIG: BASE and the big folder; MOVED: the same with the big
    folder renamed and 1 % of BASE's files moved to other folders, their
    times kept. Both share their files by hard links (neither is written
    again: runs only read them). Returns the moved files as (from, to)."""
    rng = random.Random(seed + 2)
    for root in (with_big, moved):
        if os.path.exists(root):
            shutil.rmtree(root)
    shutil.copytree(base, with_big, copy_function=shutil.copy2)
    big = os.path.join(with_big, BIG_FOLDER)
    os.makedirs(big)
    for i in range(big_files):
        write_file(os.path.join(big, f"IMG_{i:05d}.jpg"), rng.randbytes(big_size), BASE_TIME + rng.randrange(YEAR))
    os.utime(big, ns=(BASE_TIME * 10**9,) * 2)
    os.utime(with_big, ns=(BASE_TIME * 10**9,) * 2)
    shutil.copytree(with_big, moved, copy_function=os.link)
    os.rename(os.path.join(moved, BIG_FOLDER), os.path.join(moved, BIG_RENAMED))
    tree = walk(base)
    files = sorted(p for p, (folder, _, _) in tree.items() if not folder)
    folders = sorted(p for p, (folder, _, _) in tree.items() if folder)
    pairs = []
    for rel in rng.sample(files, len(files) // 100):
        parent = rel.rpartition("/")[0]
        folder = rng.choice([f for f in folders if f != parent])
        to = f"{folder}/{rel.rpartition('/')[2]}"
        os.rename(os.path.join(moved, rel), os.path.join(moved, to))
        pairs.append((rel, to))
    set_folder_times(moved, folders)
    os.utime(os.path.join(moved, BIG_RENAMED), ns=(BASE_TIME * 10**9,) * 2)
    print(f"{moved}: {BIG_FOLDER}/ ({big_files:,} files) renamed, {len(pairs)} files moved")
    return pairs


def undo_moves(backup, pairs):
    """A backup that followed MOVED, put back as WITH_BIG by renames."""
    renamed = os.path.join(backup, BIG_RENAMED)
    if os.path.isdir(renamed) and not os.path.exists(os.path.join(backup, BIG_FOLDER)):
        os.rename(renamed, os.path.join(backup, BIG_FOLDER))
    for rel, to in pairs:
        if os.path.exists(os.path.join(backup, to)) and not os.path.exists(os.path.join(backup, rel)):
            os.rename(os.path.join(backup, to), os.path.join(backup, rel))


def differences(a, b):
    ta, tb = walk(a), walk(b)
    out = []
    for path, (folder, size, mtime) in ta.items():
        other = tb.get(path)
        if other is None:
            out.append(f"missing {path}")
        elif other[0] != folder or (not folder and (other[1] != size or abs(other[2] - mtime) > 2)):
            out.append(f"differs {path}")
    out.extend(f"extra {path}" for path in tb if path not in ta)
    return sorted(out)


def sync(src, dst):
    """Makes dst equal to src; what a run left behind is undone cheaply."""
    os.makedirs(dst, exist_ok=True)
    ts, td = walk(src), walk(dst)
    # Extra entries, deepest first.
    for path in sorted((p for p in td if p not in ts or ts[p][0] != td[p][0]), key=lambda p: -p.count("/")):
        full = os.path.join(dst, path)
        if td[path][0]:
            shutil.rmtree(full, ignore_errors=True)
        elif os.path.lexists(full):
            os.remove(full)
    for path in sorted(ts, key=lambda p: p.count("/")):
        folder, size, mtime = ts[path]
        full = os.path.join(dst, path)
        if folder:
            os.makedirs(full, exist_ok=True)
        elif path not in td or td[path][0] or td[path][1] != size or td[path][2] != mtime:
            shutil.copy2(os.path.join(src, path), full)


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    cmd, args = argv[1], argv[2:]
    if cmd == "generate":
        generate(args[0], int(args[1]), int(args[2]), int(args[3]) if len(args) > 3 else 10)
    elif cmd == "large":
        generate_large(args[0], int(args[1]), int(args[2]), int(args[3]) if len(args) > 3 else 10)
    elif cmd == "change":
        change(args[0], args[1], int(args[2]) if len(args) > 2 else 10)
    elif cmd == "sync":
        sync(args[0], args[1])
    elif cmd == "compare":
        diff = differences(args[0], args[1])
        for line in diff[:20]:
            print(line)
        sys.exit(1 if diff else 0)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
