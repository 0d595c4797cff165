#!/usr/bin/env python3
"""Times the mirroring engine against the floor, as whole processes, in turn
(each program once per round), and prints the medians and the ratios of
each round. Called by bench/engine.sh, which builds the programs and sets up
Wine and the display.

Programs: the window run (Tandrel.exe /auto; "history": the same with the
history of removed files on, timed after the 1 % change only, its history
folder emptied before each run), the engine alone (headless
driver), the floor (bench/FloorMirror.cpp: one listing per folder per side,
one thread) and xcopy (/E /D /Y /Q /I /C /H /K, the copy-what-is-newer line
of backup batch files; Wine's own xcopy; it deletes nothing). With --before
DIR, the window run and the engine of another build (DIR holds its
Tandrel.exe and engine_driver.exe) run in the same rounds, so before and
after are compared on the same machine at the same time. Every first copy
(of a tree or of large files) also times the engine with Verify on, so the
table shows what Verify costs.

Memory is the peak resident set (the kernel's ru_maxrss, i.e. VmHWM) of the
Wine process that runs the program, as /usr/bin/time reports it when the
process ends: what the machine really had to give it, program and Wine's own
libraries together, measured the same way for every program, so the floor's
figure tells how much of it is Wine. (time is the parent because a process
started straight from Python inherits Python's own peak across exec.) The
window run is also measured on a 200-file tree in the same run: the goal is
its peak on the largest tree against that.
"""
import argparse
import json
import os
import re
import signal
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import trees  # noqa: E402

TREE_SCENARIOS = ("nochange", "change", "firstcopy")
# A folder of 5,000 files (500 MB) renamed near the root and 1 % of the
# tree's files moved between folders; timed against no change on the same
# tree ("moves" asks for both).
MOVE_SCENARIOS = ("moves", "movesbase")
MOVES_BYTES_GOAL = 1 << 20  # the engine writes less file data than this
MOVES_GOAL = 2.0  # its time over a no-change run's on the same tree
LARGE_SCENARIOS = {"large8m": (40, 8), "large2g": (1, 2048)}  # files, MiB each
TITLES = {
    "nochange": "no change",
    "change": "after 1 % / 0.5 % / 0.5 % change",
    "firstcopy": "first copy",
    "moves": "folder renamed, 1 % of files moved",
    "movesbase": "no change, same tree",
    "large8m": "first copy, 40 × 8 MiB",
    "large2g": "first copy, one 2 GiB file",
}
# Tandrel/floor time ratios (at most); large files: floor's time over ours
# (the throughput ratio, at least).
GOALS = {"nochange": 1.0, "change": 1.2, "firstcopy": 1.1, "large8m": 0.95, "large2g": 0.95}
STRETCH = {"nochange": 0.7}
WINDOW_GOAL = 1.15
HISTORY_GOAL = 1.1  # an update with the history on over the same without
MEMORY_GOAL_MIB = 16  # over the window run's own peak on 200 files
MEMORY_FILES = 200
PROGRAMS = ("window", "history", "engine", "engine1", "floor", "xcopy")
LABELS = {"window": "Tandrel /auto", "history": "Tandrel /auto, history on", "engine": "engine alone",
          "engine1": "engine, 1 copy at a time", "floor": "floor", "xcopy": "xcopy", "verify": "engine alone, Verify on"}
# Scenarios that copy everything, where Verify doubles the reading.
COPY_SCENARIOS = ("firstcopy", "large8m", "large2g")


# The Unix folder that the slow drive S: shows (--slow), if any.
SLOW_STORE = None


def windows_path(path):
    path = os.path.abspath(path)
    if SLOW_STORE and (path == SLOW_STORE or path.startswith(SLOW_STORE + os.sep)):
        return "S:" + (path[len(SLOW_STORE):].replace("/", "\\") or "\\")
    # Drive Z: is the Unix root in a Wine prefix.
    return "Z:" + path.replace("/", "\\")


def history_folder(backup):
    """Where a setting keeps its history by default: beside the backup."""
    return os.path.abspath(backup) + ".履歴"


def write_ini(folder, master, backup, history=False):
    text = ("\ufeff[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=1\r\n"
            f"[Define 0]\r\nName=bench\r\nMaster={windows_path(master)}\r\nBackup={windows_path(backup)}\r\n"
            "Mirroring=1\r\n" + ("DeleteHistory=1\r\n" if history else ""))
    with open(os.path.join(folder, "Tandrel.ini"), "wb") as f:
        f.write(text.encode("utf-16-le"))


def label(program):
    base, _, build = program.partition("@")
    return LABELS[base] + (f" ({build})" if build else "")


class Runner:
    def __init__(self, args):
        self.args = args
        self.apps = {}
        # A copy of each Tandrel.exe with its own settings file, as a user has it.
        for build, folder in self.builds().items():
            app = os.path.join(args.work, "app" if build == "after" else f"app-{build}")
            os.makedirs(app, exist_ok=True)
            subprocess.run(["cp", "-p", os.path.join(folder, "Tandrel.exe"), app], check=True)
            self.apps[build] = app
        self.log = open(os.path.join(args.work, "runs.log"), "a", encoding="utf-8", errors="replace")

    def builds(self):
        out = {"after": self.args.build}
        if self.args.before:
            out["before"] = self.args.before
        return out

    def command(self, program, master, backup):
        base, _, build = program.partition("@")
        build = build or "after"
        if base in ("window", "history"):
            write_ini(self.apps[build], master, backup, base == "history")
            return [self.args.wine, os.path.join(self.apps[build], "Tandrel.exe"), "/auto"], self.apps[build]
        if base == "xcopy":
            return [self.args.wine, "xcopy", windows_path(master), windows_path(backup),
                    "/E", "/D", "/Y", "/Q", "/I", "/C", "/H", "/K"], None
        exe = "floor_mirror.exe" if base == "floor" else "engine_driver.exe"
        return [self.args.wine, os.path.join(self.builds()[build], exe), windows_path(master),
                windows_path(backup)] + (["--verify"] if base == "verify" else []) + (
                    ["--workers", "1"] if base == "engine1" else []), None

    def run(self, program, master, backup):
        figure = self.run_once(program, master, backup)
        # Wine itself may fail to start while its server is being replaced:
        # nothing printed, at once. That run measured nothing; run it again.
        if figure[2] not in (0, None) and figure[0] < 0.5 and not figure[3].strip():
            time.sleep(1)
            figure = self.run_once(program, master, backup)
        return figure

    def run_once(self, program, master, backup):
        """(seconds, peak RSS in KiB (0 when killed), exit code or None after
        the time-out, what the program printed)."""
        cmd, cwd = self.command(program, master, backup)
        # A Wine server that outlives each run, so no run pays for its start
        # (a no-op when one is already running).
        subprocess.run(["wineserver", "-p60"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.log.write(f"$ {' '.join(cmd)}\n")
        self.log.flush()
        out_path = os.path.join(self.args.work, "run.out")
        rss_path = os.path.join(self.args.work, "run.rss")
        if os.path.exists(rss_path):
            os.remove(rss_path)
        with open(out_path, "wb") as out:
            start = time.monotonic()
            proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_path] + cmd, cwd=cwd, stdout=out,
                                    stderr=subprocess.STDOUT, start_new_session=True)
            timed_out = threading.Event()

            def kill():
                timed_out.set()
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass

            timer = threading.Timer(self.args.timeout, kill)
            timer.start()
            proc.wait()
            seconds = time.monotonic() - start
            timer.cancel()
        code = None if timed_out.is_set() else proc.returncode
        # xcopy writes in the console's code page.
        with open(out_path, "rb") as f:
            raw = f.read()
        try:
            output = raw.decode("utf-8")
        except UnicodeDecodeError:
            output = raw.decode("cp932", errors="replace")
        try:
            with open(rss_path) as f:
                rss = int(f.read().split()[-1])
        except (OSError, ValueError, IndexError):
            rss = 0  # killed at the time-out: not known
        self.log.write(output)
        self.log.write(f"# {program}: {seconds:.2f} s, peak {rss} KiB, exit {code}\n")
        self.log.flush()
        return seconds, rss, code, output


def prepare(work, files, seed):
    """The trees of one size, made once per seed, and the change's counts."""
    folders = max(1, files // 20)
    base = os.path.join(work, f"t{files}", "base")
    changed = os.path.join(work, f"t{files}", "changed")
    stamp = os.path.join(work, f"t{files}", f"seed{seed}.json")
    if not os.path.exists(stamp):
        print(f"generating {files:,} files in {folders:,} folders (seed {seed}) …", flush=True)
        trees.generate(base, files, folders, seed)
        counts = trees.change(base, changed, seed)
        with open(stamp, "w") as f:
            json.dump(counts, f)
    with open(stamp) as f:
        counts = json.load(f)
    return base, changed, os.path.join(work, f"t{files}", "backup"), counts


def prepare_large(work, scenario, seed):
    count, mib = LARGE_SCENARIOS[scenario]
    base = os.path.join(work, scenario, "base")
    stamp = os.path.join(work, scenario, f"seed{seed}.json")
    if not os.path.exists(stamp):
        print(f"generating {count} × {mib} MiB (seed {seed}) …", flush=True)
        trees.generate_large(base, count, mib, seed)
        with open(stamp, "w") as f:
            json.dump({"files": count, "changed": 0, "deleted": 0, "added": 0}, f)
    return base, os.path.join(work, scenario, "backup"), count * (mib << 20)


def prepare_moves(work, files, seed):
    """The tree of that size with the big folder (WITH), and the same with
    the folder renamed and files moved (MOVED); made once per seed."""
    base, _, _, _ = prepare(work, files, seed)
    with_big = os.path.join(work, f"t{files}", "movesbase")
    moved = os.path.join(work, f"t{files}", "moved")
    stamp = os.path.join(work, f"t{files}", f"moves{seed}.json")
    if not os.path.exists(stamp):
        pairs = trees.moves(base, with_big, moved, seed)
        with open(stamp, "w") as f:
            json.dump(pairs, f)
    with open(stamp) as f:
        pairs = json.load(f)
    return with_big, moved, os.path.join(work, f"t{files}", "mbackup"), pairs


def expected_output(program, scenario, counts):
    """What a program must say it did: a no-change run that copies anything
    read other time stamps than the generator wrote."""
    base = program.partition("@")[0]
    if scenario in MOVE_SCENARIOS:
        # Ours moves, the others copy: what they say is not checked, what
        # they leave is.
        return "created 0, updated 0, deleted 0," if base in ("engine", "verify") else None
    if scenario == "nochange":
        copied, added, changed, deleted = 0, 0, 0, 0
    elif scenario == "change":
        copied, added, changed, deleted = counts["changed"] + counts["added"], counts["added"], counts["changed"], \
            counts["deleted"]
    else:
        copied, added, changed, deleted = counts["files"], counts["files"], 0, 0
    if base == "floor":
        return f"copied {copied}, deleted {deleted},"
    if base in ("engine", "engine1", "verify"):
        return f"created {added}, updated {changed}, deleted {deleted},"
    if base == "xcopy":
        return copied  # the number it prints first
    return None


def check(program, scenario, counts, figure, master, backup):
    """What is wrong with a finished run, or None."""
    if figure[2] is None:
        return None  # killed: counted apart
    base = program.partition("@")[0]
    expected = expected_output(program, scenario, counts)
    if base == "xcopy":
        printed = re.match(r"\s*(\d+)", figure[3])
        if expected is not None and (not printed or int(printed.group(1)) != expected):
            return f"expected {expected} files copied, printed {figure[3].strip()!r}"
        # It deletes nothing: what the master lost stays in the backup.
        diff = [d for d in trees.differences(master, backup) if not d.startswith("extra ")]
    else:
        if expected is not None and expected not in figure[3]:
            return f"expected \"{expected}\", printed {figure[3].strip()!r}"
        diff = trees.differences(master, backup)
        if base == "history" and scenario == "change":
            # Every deleted and every overwritten file is kept, nothing else.
            kept = sum(len(files) for _, _, files in os.walk(history_folder(backup)))
            runs = [x for x in os.listdir(history_folder(backup)) if x.endswith(".manifest")] \
                if os.path.isdir(history_folder(backup)) else []
            want = counts["deleted"] + counts["changed"]
            if kept != want + len(runs) or len(runs) != 1:
                return f"history holds {kept - len(runs)} files in {len(runs)} runs, expected {want} in 1"
    if diff:
        return f"backup differs from master: {diff[0]} (+{len(diff) - 1} more)"
    if scenario == "moves" and base == "engine" and copied_bytes(figure) >= MOVES_BYTES_GOAL:
        return f"copied {copied_bytes(figure):,} bytes, goal under {MOVES_BYTES_GOAL:,}"
    return None


def copied_bytes(figure):
    """The bytes the engine says it copied; -1 when it did not say."""
    said = re.search(r"copied (\d+) bytes", figure[3])
    return int(said.group(1)) if said else -1


def fmt_time(runs):
    """Median (min–max) of the runs that ended cleanly; a run killed at the
    time-out only says it took longer and a failed run measured something
    else, so both are counted apart."""
    done = [f[0] for f in runs if f[2] == 0]
    killed = sum(1 for f in runs if f[2] is None)
    failed = len(runs) - len(done) - killed
    apart = (f" +{killed} killed" if killed else "") + (f" +{failed} failed" if failed else "")
    if not done:
        return f">{max(f[0] for f in runs):.0f} s{apart}" if killed else f"—{apart}"
    return f"{statistics.median(done):.2f} s ({min(done):.2f}–{max(done):.2f}){apart}"


def ratios(a, b):
    """The ratios of the rounds in which both runs ended cleanly."""
    return [x[0] / y[0] for x, y in zip(a, b) if x[2] == 0 and y[2] == 0]


def median_ratio(a, b, invert=False):
    r = ratios(b, a) if invert else ratios(a, b)
    return f"{statistics.median(r):.2f}×" if r else "—"


def report_wrong(wrong):
    """Lists the runs that left a wrong result; the exit code."""
    if not wrong:
        return 0
    print()
    print("Wrong results:")
    for line in wrong:
        print("  " + line)
    return 1


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", required=True)
    p.add_argument("--before", default="", help="a folder with Tandrel.exe and engine_driver.exe of another build")
    p.add_argument("--work", required=True)
    p.add_argument("--wine", default="wine")
    p.add_argument("--files", default="20000,100000", help="tree sizes, comma separated (folders = files / 20)")
    p.add_argument("--pairs", type=int, default=3, help="rounds of every program per scenario")
    p.add_argument("--scenarios", default="nochange,change,firstcopy,large8m,large2g")
    p.add_argument("--programs", default="window,engine,floor,xcopy")
    p.add_argument("--timeout", type=float, default=1800, help="seconds one process may take")
    p.add_argument("--seed", type=int, default=10)
    p.add_argument("--slow", default="", help="delays in ms: the backup on the slow drive S: at each (first copy and "
                   "change only)")
    p.add_argument("--slow-script", default="", help="scripts/slow-drive.sh")
    args = p.parse_args()

    wanted = args.programs.split(",")
    programs = [x for x in PROGRAMS if x in wanted]
    if args.before:
        programs += [f"{x}@before" for x in ("window", "engine") if x in wanted]
    verify = ["verify"] if "engine" in wanted else []
    asked = args.scenarios.split(",")
    scenarios = [s for s in TREE_SCENARIOS if s in asked]
    move_scenarios = list(MOVE_SCENARIOS) if "moves" in asked else []
    large = [s for s in LARGE_SCENARIOS if s in asked]
    sizes = [int(x) for x in args.files.split(",") if x]
    os.makedirs(args.work, exist_ok=True)
    runner = Runner(args)

    # Warm-up on a small tree: Wine's services and every library in memory.
    wb, _, wbackup, _ = prepare(args.work, MEMORY_FILES, args.seed)
    for program in programs:
        trees.sync(wb, wbackup)
        runner.run(program, wb, wbackup)

    results = {}  # (size or None, scenario, program) -> [(seconds, rss, code, output)]
    wrong = []

    def measure(size, scenario, master, backup, reset, counts, progs):
        for round_ in range(args.pairs):
            for program in progs:
                reset()
                figure = runner.run(program, master, backup)
                results.setdefault((size, scenario, program), []).append(figure)
                where = f"{label(program)}, {TITLES[scenario]}" + (
                    f", {size[1]:,} files, {size[0]} ms" if isinstance(size, tuple) else f", {size:,} files" if size
                    else "")
                problem = check(program, scenario, counts, figure, master, backup)
                if problem:
                    wrong.append(f"{where}: {problem}")
                print(f"  {where}, round {round_ + 1}: {figure[0]:.2f} s, peak {figure[1] / 1024:.0f} MiB, "
                      f"exit {figure[2]}{', WRONG' if problem else ''}", flush=True)

    def tree_reset(scenario, base, backup):
        if scenario == "firstcopy":
            def empty():
                subprocess.run(["rm", "-rf", backup], check=True)
                os.makedirs(backup)
            return empty
        def sync():
            trees.sync(base, backup)
            # Each history run starts from none, as the run without one.
            subprocess.run(["rm", "-rf", history_folder(backup)], check=True)
        return sync

    if args.slow:
        return slow_drive(args, programs, sizes, [x for x in scenarios if x in ("firstcopy", "change")], measure,
                          tree_reset, results, wrong)

    window_programs = [x for x in programs if x.startswith("window")]
    for size in [MEMORY_FILES] + sizes:
        base, changed, backup, counts = prepare(args.work, size, args.seed)
        for scenario in scenarios:
            master = changed if scenario == "change" else base
            # The small tree is there for the window's memory only.
            progs = window_programs if size == MEMORY_FILES else programs + (
                verify if scenario in COPY_SCENARIOS else [])
            # The history costs only where something is removed.
            progs = [x for x in progs if not x.startswith("history") or scenario == "change"]
            measure(size, scenario, master, backup, tree_reset(scenario, base, backup), counts, progs)
    for size in sizes if move_scenarios else []:
        with_big, moved, backup, pairs = prepare_moves(args.work, size, args.seed)

        def moves_reset(with_big=with_big, backup=backup, pairs=pairs):
            trees.undo_moves(backup, pairs)
            trees.sync(with_big, backup)
        for scenario in move_scenarios:
            master = moved if scenario == "moves" else with_big
            progs = [x for x in programs if scenario == "moves" or x.startswith("engine")]
            measure(size, scenario, master, backup, moves_reset, {}, progs)
    for scenario in large:
        base, backup, _ = prepare_large(args.work, scenario, args.seed)
        progs = [x for x in programs if not x.startswith("xcopy")] + verify
        measure(None, scenario, base, backup, tree_reset("firstcopy", base, backup),
                {"files": LARGE_SCENARIOS[scenario][0]}, progs)

    def series(size, scenario, program):
        return results.get((size, scenario, program), [])

    builds = ["before", "after"] if args.before else ["after"]

    def named(base, build):
        return base if build == "after" else f"{base}@{build}"

    print()
    print(f"Medians of {args.pairs} rounds (min–max); ratios are medians of the ratios within each round.")
    print("Runs killed at the time-out or ended with a non-zero exit code count in no median.")
    print("Copies run with Verify off, but for \"engine alone, Verify on\" (column Verify on/off: its time over")
    print("the engine's with Verify off).")
    if "xcopy" in programs:
        print("xcopy deletes nothing: after a change it leaves the deleted files in the backup; it is timed all the")
        print("same, and checked only for what it copies.")
    print()
    # (group, build, numerator, denominator), each a program's name.
    columns = []
    if "floor" in programs:
        columns += [("Tandrel/floor", b, named("window", b), "floor") for b in builds if "window" in programs]
        columns += [("engine/floor", b, named("engine", b), "floor") for b in builds if "engine" in programs]
    if "window" in programs and "engine" in programs:
        columns += [("window/engine", b, named("window", b), named("engine", b)) for b in builds]
    if "engine1" in programs and "engine" in programs:
        columns.append(("one/threads", "", "engine1", "engine"))
    if "xcopy" in programs and "floor" in programs:
        columns.append(("xcopy/floor", "", "xcopy", "floor"))
    if verify:
        columns.append(("Verify on/off", "", "verify", "engine"))
    if "history" in programs and "window" in programs:
        columns.append(("history on/off", "", "history", "window"))
    width = 14
    groups = []
    for group, *_ in columns:
        if not groups or groups[-1][0] != group:
            groups.append([group, 0])
        groups[-1][1] += 1
    lead = f"{'':<36}{'':>9}  {'':<24}"
    if scenarios or large:
        print(lead + "".join(f"{g:<{n * width}}" for g, n in groups))
        print(f"{'scenario':<36}{'files':>9}  {'floor':<24}" + "".join(f"{c[1]:<{width}}" for c in columns) + "goal")
    for size in sizes:
        for scenario in scenarios:
            row = f"{TITLES[scenario]:<36}{size:>9,}  {fmt_time(series(size, scenario, 'floor')):<24}"
            for _, _, a, b in columns:
                row += f"{median_ratio(series(size, scenario, a), series(size, scenario, b)):<{width}}"
            goal = f"Tandrel/floor ≤ {GOALS[scenario]}×" + (
                f" (stretch ≤ {STRETCH[scenario]}×)" if scenario in STRETCH else "") + f", window/engine ≤ {WINDOW_GOAL}×" + (
                f", history on/off ≤ {HISTORY_GOAL}×" if scenario == "change" and "history" in programs else "")
            print(row + goal)
    for scenario in large:
        row = f"{TITLES[scenario]:<36}{'':>9}  {fmt_time(series(None, scenario, 'floor')):<24}"
        for _, _, a, b in columns:
            if a == "xcopy":
                row += f"{'':<{width}}"
            elif b == "floor":
                # Throughput against the floor's: its time over ours.
                row += f"{median_ratio(series(None, scenario, a), series(None, scenario, b), True):<{width}}"
            else:
                row += f"{median_ratio(series(None, scenario, a), series(None, scenario, b)):<{width}}"
        print(row + f"throughput ≥ {GOALS[scenario]}× the floor's (columns …/floor: the floor's time over ours)")

    if move_scenarios:
        print()
        print(f"{TITLES['moves']} (the tree and a folder of 5,000 files, 500 MB, near the root), against no change")
        print("on the same tree: the engine's time over its no-change time, and what it copied.")
        print(f"{'files':>9}  {'engine':<24}{'no change':<24}{'ratio':<10}{'copied':<16}"
              f"{'floor':<24}{'xcopy':<24}goal")
        for size in sizes:
            ours = series(size, "moves", "engine")
            copied = max((copied_bytes(f) for f in ours), default=-1)
            print(f"{size:>9,}  {fmt_time(ours):<24}{fmt_time(series(size, 'movesbase', 'engine')):<24}"
                  f"{median_ratio(ours, series(size, 'movesbase', 'engine')):<10}"
                  f"{(f'{copied:,} B' if copied >= 0 else '—'):<16}"
                  f"{fmt_time(series(size, 'moves', 'floor')):<24}{fmt_time(series(size, 'moves', 'xcopy')):<24}"
                  f"engine ≤ {MOVES_GOAL}× no change, copied < {MOVES_BYTES_GOAL:,} B")

    # What a window run costs whatever the tree: start-up, the automatic
    # start's wait of 500 ms, the end. It is in every Tandrel/floor figure.
    fixed = [(b, series(MEMORY_FILES, s, named("window", b))) for b in builds for s in scenarios[:1]]
    if any(runs for _, runs in fixed):
        print()
        for build, runs in fixed:
            print(f"Tandrel /auto on {MEMORY_FILES} files ({build}): {fmt_time(runs)}, of which 0.50 s is the automatic "
                  "start's wait; its fixed cost, in every Tandrel/floor figure above.")

    if scenarios or large:
        print()
        print("Per-round ratios:")
    for key in [(s, sc) for s in sizes for sc in scenarios] + [(None, sc) for sc in large]:
        size, scenario = key
        for group, build, a, b in columns:
            if size is None and a == "xcopy":
                continue
            r = ratios(series(size, scenario, b), series(size, scenario, a)) \
                if size is None and b == "floor" else ratios(series(size, scenario, a), series(size, scenario, b))
            if not r:
                continue  # not timed in this scenario
            where = TITLES[scenario] + (f", {size:,} files" if size else "")
            print(f"  {where:<48} {group + ' ' + build:<22} " + " ".join(f"{x:.2f}" for x in r))

    # Peak memory: every program on the largest tree, and the window run
    # against its own peak on the small tree in the same run.
    big = max(sizes) if sizes and scenarios else None
    if big:
        print()
        print(f"Peak resident set (VmHWM of the Wine process, /usr/bin/time %M), largest of the runs:")
        for scenario in scenarios:
            floor = max((f[1] for f in series(big, scenario, "floor")), default=0) / 1024
            for program in programs:
                peak = max((f[1] for f in series(big, scenario, program)), default=0) / 1024
                line = f"  {TITLES[scenario]:<36} {big:,} files  {label(program):<24} "
                if not peak:
                    print(line + "not known")
                    continue
                over = f" ({peak - floor:+.1f} MiB over the floor)" if floor and program != "floor" else ""
                small = ""
                if program.startswith("window"):
                    own = max((f[1] for f in series(MEMORY_FILES, scenario, program)), default=0) / 1024
                    if own:
                        small = (f"; on {MEMORY_FILES} files {own:.1f} MiB, {peak - own:+.1f} MiB "
                                 f"(goal ≤ +{MEMORY_GOAL_MIB} MiB)")
                print(line + f"{peak:7.1f} MiB{over}{small}")
    return report_wrong(wrong)


def slow_drive(args, programs, sizes, scenarios, measure, tree_reset, results, wrong):
    """The backup on the slow drive S: (slowfs, a network drive of the
    prefix) at each delay, the master on the local disk. The trees are reset
    and checked in the drive's store, past the delay, and the drive is
    mounted anew before each run, so no run finds another's caches."""
    global SLOW_STORE
    SLOW_STORE = os.path.join(os.path.abspath(args.work), "slow-store")
    os.makedirs(SLOW_STORE, exist_ok=True)
    delays = [int(x) for x in args.slow.split(",") if x]
    programs = [x for x in programs if not x.startswith("xcopy")]

    def mount(delay):
        done = subprocess.run(["bash", args.slow_script, "mount", str(delay), SLOW_STORE], stdout=subprocess.DEVNULL)
        if done.returncode:
            raise SystemExit(f"the slow drive could not be mounted at {delay} ms (see above)")

    for delay in delays:
        for size in sizes:
            base, changed, _, counts = prepare(args.work, size, args.seed)
            backup = os.path.join(SLOW_STORE, f"t{size}")
            for scenario in scenarios:
                master = changed if scenario == "change" else base
                reset = tree_reset(scenario, base, backup)

                def reset_and_mount(reset=reset, delay=delay):
                    reset()
                    mount(delay)
                print(f"slow drive at {delay} ms:", flush=True)
                measure((delay, size), scenario, master, backup, reset_and_mount, counts, programs)
    subprocess.run(["bash", args.slow_script, "unmount"], stdout=subprocess.DEVNULL)

    def series(key, scenario, program):
        return results.get((key, scenario, program), [])

    print()
    print("The backup on the slow drive S: (slowfs: every file-system operation waits the delay; a network drive of")
    print("the prefix), the master on the local disk. Medians of", args.pairs, "rounds (min–max); ratios are medians")
    print("of the ratios within each round.")
    print()
    # (heading, numerator, denominator): each program against the floor, and
    # one copy at a time against the copy threads ("one/threads": how much
    # faster the threads are).
    columns = [(f"{label(x)}/floor", x, "floor") for x in programs if x != "floor"]
    if "engine" in programs and "engine1" in programs:
        columns.append(("one/threads", "engine1", "engine"))
    times = [x for x in programs if x != "floor"]
    print(f"{'delay':>6}  {'scenario':<36}{'files':>9}  {'floor':<28}" + "".join(f"{label(x):<28}" for x in times)
          + "".join(f"{c[0]:<24}" for c in columns))
    for delay in delays:
        for size in sizes:
            for scenario in scenarios:
                key = (delay, size)
                row = f"{str(delay) + ' ms':>6}  {TITLES[scenario]:<36}{size:>9,}  " \
                      f"{fmt_time(series(key, scenario, 'floor')):<28}"
                row += "".join(f"{fmt_time(series(key, scenario, x)):<28}" for x in times)
                for _, a, b in columns:
                    row += f"{median_ratio(series(key, scenario, a), series(key, scenario, b)):<24}"
                print(row)
    print()
    print("Per-round ratios:")
    for delay in delays:
        for size in sizes:
            for scenario in scenarios:
                for name, program, other in columns:
                    r = ratios(series((delay, size), scenario, program), series((delay, size), scenario, other))
                    if r:
                        print(f"  {delay} ms, {TITLES[scenario]}, {size:,} files  {name:<24} "
                              + " ".join(f"{x:.2f}" for x in r))
    return report_wrong(wrong)


if __name__ == "__main__":
    sys.exit(main())
