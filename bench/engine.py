#!/usr/bin/env python3
"""Times the mirroring engine against the floor, as whole processes, in turn
(window run, floor, headless engine, then again), and prints the medians and
the ratios of each round. Called by bench/engine.sh, which builds the
programs and sets up Wine and the display.

Memory is the peak resident set (the kernel's ru_maxrss, i.e. VmHWM) of the
Wine process that runs the program, as /usr/bin/time reports it when the
process ends: what the machine really had to give it, program and Wine's own
libraries together, measured the same way for every program, so the floor's
figure tells how much of it is Wine. (time is the parent because a process
started straight from Python inherits Python's own peak across exec.)
"""
import argparse
import json
import os
import signal
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import trees  # noqa: E402

GOALS = {"nochange": 0.7, "change": 1.0, "firstcopy": 1.1}
TITLES = {
    "nochange": "no change",
    "change": "after 1 % / 0.5 % / 0.5 % change",
    "firstcopy": "first copy into an empty backup",
}
PROGRAMS = ("window", "floor", "engine")
LABELS = {"window": "Tandrel /auto", "floor": "floor", "engine": "engine alone"}
WINDOW_GOAL = 1.3
MEMORY_GOAL_MIB = 32


def windows_path(path):
    # Drive Z: is the Unix root in a Wine prefix.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_ini(folder, master, backup):
    text = ("\ufeff[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=1\r\n"
            f"[Define 0]\r\nName=bench\r\nMaster={windows_path(master)}\r\nBackup={windows_path(backup)}\r\n"
            "Mirroring=1\r\n")
    with open(os.path.join(folder, "Tandrel.ini"), "wb") as f:
        f.write(text.encode("utf-16-le"))


class Runner:
    def __init__(self, args):
        self.args = args
        self.build = args.build
        self.app = os.path.join(args.work, "app")
        os.makedirs(self.app, exist_ok=True)
        # A copy of the program with its own settings file, as a user has it.
        subprocess.run(["cp", "-p", os.path.join(self.build, "Tandrel.exe"), self.app], check=True)
        self.log = open(os.path.join(args.work, "runs.log"), "a", encoding="utf-8", errors="replace")

    def command(self, program, master, backup):
        if program == "window":
            write_ini(self.app, master, backup)
            return [self.args.wine, os.path.join(self.app, "Tandrel.exe"), "/auto"], self.app
        exe = "floor_mirror.exe" if program == "floor" else "engine_driver.exe"
        return [self.args.wine, os.path.join(self.build, exe), windows_path(master), windows_path(backup)], None

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
        with open(out_path, encoding="utf-8", errors="replace") as f:
            output = f.read()
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


def expected_counts(scenario, counts):
    """What the floor and the engine must say they did: a no-change run that
    copies anything read other time stamps than the generator wrote."""
    if scenario == "nochange":
        return {"floor": "copied 0, deleted 0,", "engine": "created 0, updated 0, deleted 0,"}
    if scenario == "change":
        return {"floor": f"copied {counts['changed'] + counts['added']}, deleted {counts['deleted']},",
                "engine": f"created {counts['added']}, updated {counts['changed']}, deleted {counts['deleted']},"}
    return {"floor": f"copied {counts['files']}, deleted 0,", "engine": f"created {counts['files']}, updated 0, deleted 0,"}


def scenario_trees(scenario, base, changed, backup):
    """(master, reset of the backup before a run)."""
    if scenario == "firstcopy":
        def empty():
            subprocess.run(["rm", "-rf", backup], check=True)
            os.makedirs(backup)
        return base, empty
    master = changed if scenario == "change" else base
    return master, lambda: trees.sync(base, backup)


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


def median_ratio(a, b):
    """Median of the ratios of the rounds in which both runs ended cleanly."""
    ratios = [x[0] / y[0] for x, y in zip(a, b) if x[2] == 0 and y[2] == 0]
    return f"{statistics.median(ratios):.2f}×" if ratios else "—"


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--wine", default="wine")
    p.add_argument("--files", default="20000,100000", help="tree sizes, comma separated (folders = files / 20)")
    p.add_argument("--pairs", type=int, default=5, help="rounds of window, floor, engine per scenario")
    p.add_argument("--scenarios", default="nochange,change,firstcopy")
    p.add_argument("--programs", default="window,floor,engine")
    p.add_argument("--timeout", type=float, default=1800, help="seconds one process may take")
    p.add_argument("--seed", type=int, default=10)
    args = p.parse_args()

    programs = [x for x in PROGRAMS if x in args.programs.split(",")]
    scenarios = [s for s in GOALS if s in args.scenarios.split(",")]
    sizes = [int(x) for x in args.files.split(",") if x]
    os.makedirs(args.work, exist_ok=True)
    runner = Runner(args)

    # Warm-up on a small tree: Wine's services and every library in memory.
    wb, _, wbackup, _ = prepare(args.work, 200, args.seed)
    for program in programs:
        trees.sync(wb, wbackup)
        runner.run(program, wb, wbackup)

    results = {}  # (size, scenario, program) -> [(seconds, rss, code)]
    wrong = []
    for size in sizes:
        base, changed, backup, counts = prepare(args.work, size, args.seed)
        for scenario in scenarios:
            master, reset = scenario_trees(scenario, base, changed, backup)
            expected = expected_counts(scenario, counts)
            for round_ in range(args.pairs):
                for program in programs:
                    reset()
                    figure = runner.run(program, master, backup)
                    results.setdefault((size, scenario, program), []).append(figure)
                    diff = trees.differences(master, backup)
                    where = f"{LABELS[program]}, {TITLES[scenario]}, {size:,} files"
                    if diff and figure[2] is not None:
                        wrong.append(f"{where}: backup differs from master: {diff[0]} (+{len(diff) - 1} more)")
                    if program in expected and figure[2] is not None and expected[program] not in figure[3]:
                        wrong.append(f"{where}: expected \"{expected[program]}\", printed {figure[3].strip()!r}")
                    print(f"  {size:,} files, {TITLES[scenario]}, round {round_ + 1}: {LABELS[program]} "
                          f"{figure[0]:.2f} s, peak {figure[1] / 1024:.0f} MiB, exit {figure[2]}"
                          f"{'' if not diff else ', backup differs from master'}", flush=True)

    print()
    print(f"Medians of {args.pairs} rounds (min–max); ratios are medians of the ratios within each round.")
    print("Runs killed at the time-out or ended with a non-zero exit code count in no median.")
    print()
    header = f"{'scenario':<42}{'files':>9}  " + "".join(f"{LABELS[x]:<27}" for x in programs)
    extra = []
    if "window" in programs and "floor" in programs:
        extra.append("Tandrel/floor (goal)")
    if "engine" in programs and "floor" in programs:
        extra.append("engine/floor")
    if "window" in programs and "engine" in programs:
        extra.append("window/engine (goal)")
    print(header + "  ".join(f"{e:<22}" for e in extra))
    for size in sizes:
        for scenario in scenarios:
            row = f"{TITLES[scenario]:<42}{size:>9,}  "
            data = {x: results[(size, scenario, x)] for x in programs}
            for x in programs:
                row += f"{fmt_time(data[x]):<27}"
            cells = []
            if "window" in programs and "floor" in programs:
                cells.append(f"{median_ratio(data['window'], data['floor'])} (≤ {GOALS[scenario]}×)")
            if "engine" in programs and "floor" in programs:
                cells.append(median_ratio(data["engine"], data["floor"]))
            if "window" in programs and "engine" in programs:
                cells.append(f"{median_ratio(data['window'], data['engine'])} (≤ {WINDOW_GOAL}×)")
            print(row + "  ".join(f"{c:<22}" for c in cells))

    # Peak memory of the largest tree, over every run of each program there;
    # the floor's figure is what Wine itself takes for such a walk.
    size = max(sizes)
    print()
    print(f"Peak resident set (VmHWM of the Wine process, /usr/bin/time %M), {size:,} files, largest of the runs:")
    for scenario in scenarios:
        peak = {x: max(f[1] for f in results[(size, scenario, x)]) / 1024 for x in programs}
        for x in programs:
            goal = f"  goal ≤ {MEMORY_GOAL_MIB} MiB" if x == "window" else ""
            if not peak[x]:
                print(f"  {TITLES[scenario]:<36} {LABELS[x]:<14} not known (every run killed){goal}")
                continue
            over = ""
            if x != "floor" and peak.get("floor"):
                over = f" ({peak[x] - peak['floor']:+.1f} MiB over the floor)"
            print(f"  {TITLES[scenario]:<36} {LABELS[x]:<14} {peak[x]:7.1f} MiB{over}{goal}")
    if wrong:
        print()
        print("Wrong results:")
        for line in wrong:
            print("  " + line)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
