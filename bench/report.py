#!/usr/bin/env python3
"""Turns the results of one benchmark run into docs/benchmarks.md and docs/benchmarks.png.

Reads the JSON left by startup.py, bench_commands (several rounds, for each Qt version),
bench_scaling and bench_soak, judges every comparison on the spread of its paired ratios,
writes the report, puts its headline table into the README and plots the scaling results.
"""

import argparse
import glob
import json
import os
import re
import statistics
import subprocess
from dataclasses import dataclass

# The goals, fixed here before any run: a ratio to the reference at most this.
RATIO_GOAL = 1.05
# Once the allocator has handed back its free pages, the soak's samples hold steady to a page
# or two; growth beyond 16 pages would be memory really held.
SOAK_NOISE_KIB = 64
# The README's headline table sits between these two lines, which the README keeps.
README_START = "<!-- benchmark headline: written by scripts/bench -->"
README_END = "<!-- end of benchmark headline -->"

MET, MISSED, NOT_SHOWN = "met", "missed", "not shown"
# A command row whose command or repaint drew no frame would time nothing.
NOT_MEASURABLE = "not measurable"


# What profiling found, once, outside this script. Kept here so that every report carries it
# until a profile says otherwise; each says when and how it was made.
STARTUP_PROFILE = (
    "Profiled on 2026-12-07 with Qt 6, outside `scripts/bench`. Under callgrind, zentrile's "
    "main thread executes 483 million instructions up to its first frame and the floor's "
    "412 million; the other threads are alike. The steps of zentrile's `main` that the "
    "floor lacks are the OpenGL check, `GLCompat::isOpenGLAvailable`, which creates a "
    "throwaway context (199 million, of which roughly 140 million load and set up the "
    "driver, work the floor does later in `show()` instead; choosing the throwaway "
    "context's configuration walks all of Mesa's for 134 million), and the window icon "
    "(`QIcon::fromTheme` searching the icon theme's folders, 33 million, and its conversion "
    "when the window is shown). Built without the icon lines, zentrile used 2.3 ms less "
    "CPU time up to its first frame; built without the check, 1.2 ms less (20 paired runs "
    "each, against an excess of 5.5 ms over the floor's 81 ms in that run). The rest is "
    "spread thinly over the building of the window and the canvas, where no step stands "
    "out. Taking the icon straight from the program's resources rather than searching the "
    "theme first, or setting it after the first frame, and a cheaper check would win back "
    "most of the excess.")
EARLIER_COMMAND_MISSES = (
    "ZoomIn (1.095) and PanUp (1.077) missed in the earlier version of this benchmark, "
    "which compared every command with a repaint of the fitted view, timed as a case of its "
    "own. A paired experiment on 2026-12-07 with Qt 5 (30 repetitions of 100 alternations) "
    "repainted the fitted frame and the frame each command leaves: the zoomed-in frame "
    "costs 1.084 (1.067 to 1.096) times the fitted one, its triangle covering 1/0.81 times "
    "the pixels; the zoomed-out one 0.937, the frame after PanUp 1.014, after PanLeft 1.000. "
    "ZoomIn's miss was the picture, not the command, and PanUp's mostly the noise of "
    "unpaired cases; hence each command's own reference now. With Qt 6 the window's "
    "composition dwarfs the triangle, and the same experiment gives 1.006 for ZoomIn.")
QT6_FRAMES = (
    "Why a Qt 6 frame costs so much more here (profiled on 2026-12-07 with `perf record` "
    "over ten repetitions of `Command/cycle` in each build): with Qt 6 the process used "
    "about 3.1 ms of CPU a frame, 89% of it on llvmpipe's two rasteriser threads, mostly in "
    "the shading code llvmpipe compiles at run time; with Qt 5 about 0.37 ms, 35% of it "
    "there. QOpenGLWidget renders into a framebuffer object, and Qt 6 then composes the "
    "window from textures in the window's own context before every swap, so on a software "
    "renderer each frame pays for shading the whole window; QGLWidget drew straight into "
    "its own window. On a GPU that composition is cheap; on llvmpipe it is most of the "
    "frame.")


@dataclass
class Spread:
    """The quartiles of a set of paired ratios."""
    lower: float
    median: float
    upper: float

    @classmethod
    def of(cls, ratios):
        q = statistics.quantiles(ratios, n=4, method="inclusive")
        return cls(q[0], statistics.median(ratios), q[2])

    def text(self):
        return f"{self.median:.3f} ({self.lower:.3f} to {self.upper:.3f})"

    def verdict(self):
        if self.upper <= RATIO_GOAL:
            return MET
        if self.lower > RATIO_GOAL:
            return MISSED
        return NOT_SHOWN


@dataclass
class Goal:
    measure: str
    zentrile: str
    reference: str
    spread: Spread
    verdict: str


def load(path):
    with open(path) as f:
        return json.load(f)


def quartiles(values):
    q = statistics.quantiles(values, n=4, method="inclusive")
    return q[0], statistics.median(values), q[2]


def paired(values, references):
    return Spread.of([v / r for v, r in zip(values, references, strict=True)])


def shown_verdict(verdict):
    return verdict if verdict == MET else f"**{verdict}**"


def time_ms(entry, kind="real_time"):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry["time_unit"]]
    return entry[kind] * scale


def fmt_ms(ms):
    return f"{ms:.3g}" if ms < 100 else f"{ms:.0f}"


def medians(gbench):
    """Maps each benchmark's name to its median entry, or to its only run if it had one."""
    result = {}
    for b in gbench["benchmarks"]:
        name = re.sub(r"/(iterations:\d+|real_time)", "", b["run_name"])
        if b.get("aggregate_name") == "median" or (b["run_type"] == "iteration"
                                                   and name not in result):
            result[name] = b
    return result


def command_repetitions(paths):
    """Maps each command benchmark to its repetitions, in round and then repetition order."""
    result = {}
    for path in paths:
        runs = [b for b in load(path)["benchmarks"] if b["run_type"] == "iteration"]
        for b in sorted(runs, key=lambda b: b["repetition_index"]):
            name = b["run_name"].split("/iterations")[0]
            result.setdefault(name, []).append(b)
    return result


def round_files(folder, qt_major):
    def round_number(path):
        return int(re.search(r"-(\d+)\.json$", path).group(1))
    return sorted(glob.glob(os.path.join(folder, f"commands-qt{qt_major}-*.json")),
                  key=round_number)


def load_results(folder):
    qt6_files, qt5_files = round_files(folder, 6), round_files(folder, 5)
    return {
        "startup": load(os.path.join(folder, "startup.json")),
        "commands": command_repetitions(qt6_files),
        "commands_qt5": command_repetitions(qt5_files),
        "rounds": len(qt6_files),
        "context": load(qt6_files[0])["context"],
        "context_qt5": load(qt5_files[0])["context"],
        "scaling": load(os.path.join(folder, "scaling.json")),
        "soak": load(os.path.join(folder, "soak.json")),
    }


@dataclass
class CommandRow:
    name: str
    command_us: list
    repaint_us: list
    cpu_us: list
    repaint_cpu_us: list
    paints: float
    repaint_paints: float
    iterations: int

    @classmethod
    def of(cls, name, runs):
        return cls(name, [b["real_time"] for b in runs], [b["repaint_us"] for b in runs],
                   [b["cpu_us"] for b in runs], [b["repaint_cpu_us"] for b in runs],
                   min(b["paints_per_op"] for b in runs),
                   min(b["repaint_paints_per_op"] for b in runs), runs[0]["iterations"])

    def spread(self):
        return paired(self.command_us, self.repaint_us)

    def drew_every_frame(self):
        return self.paints >= 0.99 and self.repaint_paints >= 0.99

    def verdict(self):
        return self.spread().verdict() if self.drew_every_frame() else NOT_MEASURABLE

    def label(self):
        return self.name.replace("Command/action", "").replace("Command/", "")


def command_rows(repetitions):
    """The cycle first, then the single commands by name."""
    names = sorted(repetitions, key=lambda n: (n != "Command/cycle", n))
    return [CommandRow.of(n, repetitions[n]) for n in names]


def overall_verdict(verdicts):
    for worst in (NOT_MEASURABLE, MISSED, NOT_SHOWN):
        if worst in verdicts:
            return worst
    return MET


def programs(startup, name):
    return startup["programs"][name]


def startup_goals(startup):
    z, f = programs(startup, "zentrile"), programs(startup, "floor")
    runs = startup["runs"]
    time_spread = paired(z["start_up_ms"], f["start_up_ms"])
    memory_spread = paired(z["peak_kib"], f["peak_kib"])
    return [
        Goal(f"Start-up to first frame, against a floor program drawing the same window "
             f"({runs} paired runs)", f"{statistics.median(z['start_up_ms']):.1f} ms",
             f"{statistics.median(f['start_up_ms']):.1f} ms", time_spread,
             time_spread.verdict()),
        Goal("Peak memory at first frame, against the same floor",
             f"{statistics.median(z['peak_kib']) / 1024:.1f} MiB",
             f"{statistics.median(f['peak_kib']) / 1024:.1f} MiB", memory_spread,
             memory_spread.verdict()),
    ]


def command_goal(rows):
    """Judged on every row: the cycle and each command on its own."""
    cycle, singles = rows[0], rows[1:]
    met = sum(r.verdict() == MET for r in singles)
    return Goal(f"Toolbar command to finished frame, against a bare repaint of that frame "
                f"(the seven in turn; each on its own: {met} of {len(singles)} met)",
                f"{statistics.median(cycle.command_us):.0f} µs",
                f"{statistics.median(cycle.repaint_us):.0f} µs", cycle.spread(),
                overall_verdict([r.verdict() for r in rows]))


def soak_growth(soak, column):
    """The median of the last quarter of the samples less that of the first quarter."""
    samples = soak["samples"]
    quarter = max(1, len(samples) // 4)
    first = statistics.median(s[column] for s in samples[:quarter])
    last = statistics.median(s[column] for s in samples[-quarter:])
    return last - first


def soak_verdict(soak):
    return MET if soak_growth(soak, 2) <= SOAK_NOISE_KIB else MISSED


def intro_section(context):
    return [
        "# Benchmarks",
        "",
        f"Measured by `scripts/bench` on {context['date'][:10]}: {context['num_cpus']} cores "
        f"at {context['mhz_per_cpu']} MHz, Qt {context['qt']} (the default build), OpenGL "
        f"renderer {context['renderer']}, Release build. Without a display the script runs "
        "everything on Xvfb, so every frame is drawn in software; the figures say how "
        "zentrile compares with its references on one machine, not how fast it is on a real "
        "GPU. The machine is shared: other builds and test runs come and go during a run, "
        "which is why every comparison is made in pairs, close together in time.",
        "",
        "To measure again, run `scripts/bench` (about a quarter of an hour on two cores); it "
        "rewrites this file, `benchmarks.png` and the headline table in the README. "
        "`STARTUP_RUNS`, `COMMAND_ROUNDS`, `COMMAND_REPETITIONS` and `SCALING_REPETITIONS` in "
        "the environment change the number of runs.",
        "",
    ]


def verdicts_section():
    goal = f"{RATIO_GOAL:.2f}"
    return [
        "## How a goal is judged",
        "",
        "Every comparison is made in pairs: a start-up of zentrile with the start-up of the "
        "reference in the same round, or a repetition of a command with the bare repaints "
        "timed alternately with it in that same repetition. Each pair gives one ratio, "
        "zentrile over reference (below 1: zentrile was faster or smaller). The **ratio** "
        "shown is the median of these paired ratios and the **spread** after it, in "
        "brackets, runs from their lower to their upper quartile: the middle half of the "
        "pairs lies within it.",
        "",
        f"- **met**: the upper quartile is at most {goal}; at least three pairs in four are "
        "within the goal.",
        f"- **missed**: the lower quartile is above {goal}; at least three pairs in four are "
        "beyond the goal.",
        f"- **not shown**: the spread straddles {goal}; this run can neither confirm the goal "
        "nor rule it out.",
        "",
    ]


def goals_table(goals):
    lines = ["| Measure | zentrile | reference | ratio (spread) | goal | result |",
             "| --- | ---: | ---: | --- | --- | --- |"]
    for g in goals:
        lines.append(f"| {g.measure} | {g.zentrile} | {g.reference} | {g.spread.text()} | "
                     f"within 5% | {shown_verdict(g.verdict)} |")
    return lines


def goals_section(goals, soak):
    growth, raw = soak_growth(soak, 2), soak_growth(soak, 1)
    return ["## Goals", ""] + goals_table(goals) + [
        "",
        f"Resident growth over {soak['commands']:,} commands and {soak['resizes']:,} resizes, "
        f"with free pages handed back: {growth:+.0f} KiB (as is: {raw:+.0f} KiB), against a "
        f"noise of {SOAK_NOISE_KIB} KiB: {shown_verdict(soak_verdict(soak))}.",
        "",
    ]


def startup_findings(goals, startup):
    z, f = programs(startup, "zentrile"), programs(startup, "floor")
    cpu = paired(z["cpu_ms"], f["cpu_ms"])
    time_goal = goals[0]
    reading = {
        MET: "the extra work is within the goal, and the wall clock's spread is the load of "
             "the machine.",
        NOT_SHOWN: "whether the extra work exceeds 5% is not shown either.",
        MISSED: "zentrile does more than 5% more work than the floor before its first frame, "
                "whatever the wall clock's spread says.",
    }[cpu.verdict()]
    return [
        "### Start-up",
        "",
        f"Start-up against the floor: {time_goal.spread.text()}, {time_goal.verdict}. "
        f"CPU time, which the machine's load hardly moves, gives {cpu.text()}, "
        f"{cpu.verdict()} on the same rule: " + reading,
        "",
        STARTUP_PROFILE,
        "",
    ]


def command_finding(row):
    added = added_cpu_us(row)
    repaint = statistics.median(row.repaint_us)
    return (f"- {row.label()}: {row.spread().text()}, {row.verdict()}. The command adds "
            f"{added:+.0f} µs of GUI-thread CPU to its repaint, {added / repaint * 100:+.1f}% "
            f"of the repaint's {repaint:.0f} µs of wall-clock time; whatever more its pairs "
            "show is time spent waiting for the rasteriser threads or the X server.")


def command_findings(rows):
    unmet = [r for r in rows if r.verdict() != MET]
    lines = ["### Command latency", ""]
    if unmet:
        lines += [command_finding(r) for r in unmet] + [""]
    else:
        lines += ["Every row is met.", ""]
    return lines + [EARLIER_COMMAND_MISSES, ""]


def findings_section(goals, rows, startup):
    return (["## What misses, and why", ""] + startup_findings(goals, startup)
            + command_findings(rows))


def startup_table(startup):
    lines = ["| program | Qt | start-up, ms (25% / median / 75%) | CPU time, ms (median) | "
             "peak RSS, MiB (25% / median / 75%) | swap of the first complete frame |",
             "| --- | --- | --- | ---: | --- | ---: |"]
    for name, r in startup["programs"].items():
        qt = "5" if name.endswith("_qt5") else "6"
        t = " / ".join(f"{v:.1f}" for v in quartiles(r["start_up_ms"]))
        m = " / ".join(f"{v / 1024:.1f}" for v in quartiles(r["peak_kib"]))
        swaps = sorted(set(r["swaps"]))
        lines.append(f"| {name.removesuffix('_qt5')} | {qt} | {t} | "
                     f"{statistics.median(r['cpu_ms']):.1f} | {m} | "
                     f"{', '.join(map(str, swaps))} |")
    return lines


def floor_pairs_table(startup):
    lines = ["| build | start-up | CPU time | peak memory |", "| --- | --- | --- | --- |"]
    for qt, suffix in ((6, ""), (5, "_qt5")):
        z, f = programs(startup, "zentrile" + suffix), programs(startup, "floor" + suffix)
        cells = [paired(z[k], f[k]).text() for k in ("start_up_ms", "cpu_ms", "peak_kib")]
        lines.append(f"| Qt {qt} | " + " | ".join(cells) + " |")
    return lines


def startup_section(startup):
    return [
        "## Start-up and peak memory",
        "",
        "The floor (`bench/floor.cpp`) builds the same window by hand: title, 600 × 400, an "
        "empty menu bar, a toolbar with the seven actions, a status bar and a canvas in a "
        "horizontal layout, whose canvas draws the same triangle in immediate mode under a "
        "fixed projection. It checks nothing before it starts and sets no window icon. "
        f"`bench/startup.py` starts the programs below {startup['runs']} times each after a "
        "warm-up, one of each per round, every program taking every place in the round in "
        "turn. The preloaded `bench/firstframe.cpp` stops the clock and reads `VmHWM` and "
        "the process's CPU time (all its threads) at the first `glXSwapBuffers` (once the X "
        "server has taken the frame) whose frame, read back from the server, shows the whole "
        "triangle, and ends the process there. The time it spends reading back incomplete "
        "frames is taken off.",
        "",
    ] + startup_table(startup) + [
        "",
        "zentrile over its floor, paired by round (ratio and spread):",
        "",
    ] + floor_pairs_table(startup) + [
        "",
        "CPU time is not a goal, but it hardly depends on what else the machine runs, so it "
        "tells a start-up that did more work from one that only waited longer.",
        "",
        "With Qt 6 the first swap already shows the whole window. With Qt 5 it does not: "
        "QGLWidget first presents a frame at its initial 100 × 30, before the layout has "
        "sized it, in an otherwise black window, and the complete frame is the second swap. "
        "Figures taken at the first swap, as this benchmark did before, make Qt 5 look "
        "faster and smaller than it is.",
        "",
    ]


def command_table(rows):
    lines = ["| command | median, µs | bare repaint, µs | ratio (spread) | result | "
             "GUI thread CPU, µs: command / repaint | frames per command |",
             "| --- | ---: | ---: | --- | --- | ---: | ---: |"]
    for r in rows:
        lines.append(f"| {r.label()} | {statistics.median(r.command_us):.0f} | "
                     f"{statistics.median(r.repaint_us):.0f} | {r.spread().text()} | "
                     f"{shown_verdict(r.verdict())} | "
                     f"{statistics.median(r.cpu_us):.0f} / "
                     f"{statistics.median(r.repaint_cpu_us):.0f} | {r.paints:.2f} |")
    return lines


def added_cpu_us(row):
    return statistics.median(c - r for c, r in zip(row.cpu_us, row.repaint_cpu_us))


def command_section(rows, rounds):
    reps = len(rows[0].command_us)
    added = ", ".join(f"{r.label()} {added_cpu_us(r):+.0f}" for r in rows)
    lines = [
        "## Command latency",
        "",
        "`bench/commandbench.cpp` opens the real main window and times `QAction::trigger()` on "
        "a toolbar action, delivery of the posted repaint and `glFinish()` with the canvas's "
        "context current. Right after each command it times `update()` on the same canvas "
        "followed by the same steps: a bare repaint of the very frame the command produced, "
        "which is as fast as that command could be. A zoom that makes the triangle fill more "
        "pixels is therefore not charged for the pixels, and both halves of a pair see the "
        "same load. `cycle` runs the seven actions in turn; every other row repeats one "
        "action from the fitted view (Fit from a zoomed one), restored outside the timed part. "
        f"Each row has {reps} repetitions ({rounds} runs of the benchmark program) of "
        f"{rows[0].iterations} commands, the rows interleaved in random order; a "
        "repetition's ratio is its commands' time over its repaints' time. Every row is "
        "judged on its own.",
        "",
    ] + command_table(rows) + [
        "",
        "The goal is on wall-clock time, the time the user waits. The GUI thread's CPU time is "
        "only a part of it (llvmpipe rasterises on its own threads and the X server is another "
        "process), but it shows what a command adds to its repaint, the action's dispatch and "
        f"the navigation step, in µs (median of the paired differences): {added}.",
        "",
    ]
    return lines


def qt_rows(startup, commands, commands_qt5):
    """Qt 6 against Qt 5, each figure paired by round (start-up) or repetition (commands)."""
    z6, z5 = programs(startup, "zentrile"), programs(startup, "zentrile_qt5")
    f6, f5 = programs(startup, "floor"), programs(startup, "floor_qt5")
    cycle6, cycle5 = CommandRow.of("", commands["Command/cycle"]), \
        CommandRow.of("", commands_qt5["Command/cycle"])

    def row(measure, unit, scale, qt6, qt5):
        digits = 0 if unit == "µs" else 1
        return (measure, f"{statistics.median(qt6) * scale:.{digits}f} {unit}",
                f"{statistics.median(qt5) * scale:.{digits}f} {unit}", paired(qt6, qt5))

    return [
        row("zentrile: start-up to first complete frame", "ms", 1, z6["start_up_ms"],
            z5["start_up_ms"]),
        row("zentrile: CPU time to that frame", "ms", 1, z6["cpu_ms"], z5["cpu_ms"]),
        row("zentrile: peak memory at that frame", "MiB", 1 / 1024, z6["peak_kib"],
            z5["peak_kib"]),
        row("floor: start-up to first complete frame", "ms", 1, f6["start_up_ms"],
            f5["start_up_ms"]),
        row("floor: peak memory at that frame", "MiB", 1 / 1024, f6["peak_kib"],
            f5["peak_kib"]),
        row("command to finished frame (cycle)", "µs", 1, cycle6.command_us,
            cycle5.command_us),
        row("bare repaint", "µs", 1, cycle6.repaint_us, cycle5.repaint_us),
        row("GUI thread CPU per command", "µs", 1, cycle6.cpu_us, cycle5.cpu_us),
    ]


def qt5_commands(commands_qt5):
    rows = command_rows(commands_qt5)
    met = sum(r.verdict() == MET for r in rows)
    return (f"The Qt 5 build's commands against its own bare repaints: {rows[0].spread().text()} "
            f"for the cycle; {met} of {len(rows)} rows met.")


def qt_section(startup, commands, commands_qt5, context_qt5, rounds):
    lines = [
        "## Qt 6 against Qt 5",
        "",
        f"Qt 6 is the default build; the same sources built against Qt {context_qt5['qt']} "
        "(`-DZENTRILE_QT_MAJOR=5`, in `build-bench-qt5/`) run in the same rounds: the four "
        "programs of the start-up rounds above, and the command benchmark of each build "
        f"in turn, {rounds} times, every other time Qt 5 first. Start-ups pair by round, "
        "command repetitions by run and repetition. A ratio above 1 is what the new default "
        "costs.",
        "",
        "| measure | Qt 6 | Qt 5 | Qt 6 / Qt 5 (spread) |",
        "| --- | ---: | ---: | --- |",
    ]
    for measure, qt6, qt5, spread in qt_rows(startup, commands, commands_qt5):
        lines.append(f"| {measure} | {qt6} | {qt5} | {spread.text()} |")
    return lines + ["", qt5_commands(commands_qt5), "", QT6_FRAMES, ""]


def scaling_rows(scaling, data_path):
    """Writes the plot's data file and gives the table's rows."""
    sc = medians(scaling)
    rows = []
    with open(data_path, "w") as dat:
        dat.write("# triangles first_paint list_repaint immediate_repaint list_resize "
                  "immediate_resize list_bytes_per_vertex immediate_bytes_per_vertex "
                  "list_own_bytes_per_vertex\n")
        for n in sorted({int(name.split("/")[2]) for name in sc}):
            def t(kind):
                return time_ms(sc[f"{kind}/{n}"])

            def mem(kind):
                return sc[f"{kind}/Memory/{n}"]["bytes_per_vertex"]

            row = [t("List/FirstPaint"), t("List/Repaint"), t("Immediate/Repaint"),
                   t("List/Resize"), t("Immediate/Resize"), mem("List"), mem("Immediate")]
            row.append(row[5] - row[6])
            dat.write(f"{n} " + " ".join(f"{v:.6g}" for v in row) + "\n")
            cpu_ratio = time_ms(sc[f"Immediate/Repaint/{n}"], "cpu_time") \
                / time_ms(sc[f"List/Repaint/{n}"], "cpu_time")
            rows.append(f"| {n:,} | {fmt_ms(row[0])} | {fmt_ms(row[1])} | {fmt_ms(row[2])} | "
                        f"{row[2] / row[1]:.2f} | {cpu_ratio:.2f} | {fmt_ms(row[3])} | "
                        f"{fmt_ms(row[4])} | {row[5]:.0f} | {row[6]:.0f} | {row[7]:+.0f} |")
    return rows


def scaling_summary(scaling):
    sc = medians(scaling)
    top = max(int(name.split("/")[2]) for name in sc)
    first, replay, immediate = (time_ms(sc[f"{k}/{top}"]) for k in
                                ("List/FirstPaint", "List/Repaint", "Immediate/Repaint"))
    saving = (f"saves {(1 - replay / immediate) * 100:.0f}% of a repaint here. "
              if replay < immediate else "saves nothing here. ")
    return (f"At {top:,} triangles the first paint takes {fmt_ms(first)} ms, "
            f"{first / replay:.1f} times a later paint ({fmt_ms(replay)} ms); redrawing in "
            f"immediate mode takes {fmt_ms(immediate)} ms, so the list " + saving
            + "llvmpipe sets up and bins every triangle on the drawing thread whichever way "
            "it arrives, so on this renderer the list can only save the sending of the "
            "vertices; on a GPU, where a list can stay in video memory, the saving should be "
            "larger, but that is not measured here.")


def scaling_section(scaling, data_path):
    return [
        "## Scaling with the model",
        "",
        "`bench/scalingbench.cpp` draws models of random small triangles on a 600 × 400 "
        "canvas. GLPanel compiles the model into a display list on its first paint after "
        "`setModel` and replays the list after that; `bench/immediatepanel.cpp` sends every "
        "vertex to GL on every paint, from copies of the model's lists taken once, which is "
        "the best case for immediate mode. A resize is the canvas's resize, its refit to "
        "the bounding box and the repaint that follows. Memory is the growth in resident "
        "size from holding and first drawing the model, over its vertex count, once the "
        "allocator has handed back its free pages. Both canvases hold the model's lists (40 "
        "bytes a vertex) and both make llvmpipe keep working memory for the triangles it "
        "bins, so the display list's own cost is the difference between the two; below "
        "10⁴ triangles the growth is a few dozen pages and mostly noise. Times are medians "
        "of the repetitions; models of 10⁶ triangles run two iterations per repetition.",
        "",
        "| triangles | first paint, ms | repaint (list), ms | repaint (immediate), ms | "
        "immediate / list | immediate / list, GUI thread CPU | resize (list), ms | "
        "resize (immediate), ms | bytes per vertex (list) | bytes per vertex (immediate) | "
        "difference |",
        "| ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |",
    ] + scaling_rows(scaling, data_path) + [
        "",
        scaling_summary(scaling),
        "",
        "![Scaling with the number of triangles](benchmarks.png)",
        "",
    ]


def soak_band(soak, column):
    values = [s[column] / 1024 for s in soak["samples"]]
    return f"samples between {min(values):.1f} and {max(values):.1f} MiB"


def soak_section(soak):
    return [
        "## Soak",
        "",
        f"`bench/soak.cpp` drives the real main window through {soak['commands']:,} "
        "toolbar commands (the seven in turn, each repainted) and "
        f"{soak['resizes']:,} window resizes between two sizes, after "
        f"{soak['warm_up_commands']:,} commands of warm-up, and samples the resident size "
        "every 5,000 commands, twice: as it is, then again after `malloc_trim` has handed "
        "the allocator's free pages back to the system. Growth is the median of the last "
        "quarter of the samples less that of the first quarter. The goal is judged on the "
        "second reading: the first moves by a megabyte or two from sample to sample, up and "
        "down, as freed memory stays with the allocator or goes back, and says nothing about "
        "what the program holds.",
        "",
        f"- after handing back free pages: growth {soak_growth(soak, 2):+.0f} KiB (noise "
        f"{SOAK_NOISE_KIB} KiB), {soak_band(soak, 2)}: {soak_verdict(soak)}",
        f"- as is: growth {soak_growth(soak, 1):+.0f} KiB, {soak_band(soak, 1)}",
        f"- frames drawn: {soak['paints']:,}; resizes that reached the canvas: "
        f"{soak['resizes_seen']:,} of {soak['resizes']:,}",
        "",
    ]


def notes_section(context, cycle):
    repaints = cycle.repaint_us
    cv = statistics.stdev(repaints) / statistics.mean(repaints)
    return [
        "## Notes",
        "",
        "- Debian's Google Benchmark library is a debug build and says so in its output; it "
        "only runs the timing loop, which is not what is measured here.",
        "- Times are wall-clock: llvmpipe draws on its own threads and the X server is "
        "another process, so the benchmark thread's CPU time would miss most of a frame.",
        f"- One repetition's bare repaints vary by {cv * 100:.0f}% from repetition to "
        "repetition (coefficient of variation): on two cores the X server, llvmpipe's "
        "threads and anything else running share the processors. The paired ratios move "
        "much less, since both halves of a pair see the same load.",
        f"- Load average when the first command run began: "
        f"{', '.join(f'{v:.2f}' for v in context['load_avg'])} (1, 5 and 15 minutes).",
        "",
    ]


def readme_table(goals, soak, startup, commands, commands_qt5):
    growth = soak_growth(soak, 2)
    z, f = programs(startup, "zentrile"), programs(startup, "floor")
    cpu = paired(z["cpu_ms"], f["cpu_ms"])
    cost = {measure: spread for measure, _, _, spread in
            qt_rows(startup, commands, commands_qt5)}
    return goals_table(goals) + [
        f"| Resident growth over {soak['commands']:,} commands and {soak['resizes']:,} "
        f"resizes | {growth:+.0f} KiB | noise {SOAK_NOISE_KIB} KiB | | none beyond noise | "
        f"{shown_verdict(soak_verdict(soak))} |",
        "",
        "Start-up's CPU time against the floor, which the machine's load hardly moves: "
        f"{cpu.text()}, {shown_verdict(cpu.verdict())} on the same rule. Qt 6 against "
        "Qt 5: start-up "
        f"{cost['zentrile: start-up to first complete frame'].text()}, peak memory "
        f"{cost['zentrile: peak memory at that frame'].text()}, command "
        f"{cost['command to finished frame (cycle)'].text()}. What misses and why: "
        "[docs/benchmarks.md](docs/benchmarks.md#what-misses-and-why).",
    ]


def update_readme(path, table):
    with open(path) as f:
        text = f.read()
    start, end = text.index(README_START) + len(README_START), text.index(README_END)
    with open(path, "w") as f:
        f.write(text[:start] + "\n" + "\n".join(table) + "\n" + text[end:])


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--results", required=True, help="folder with the JSON results")
    parser.add_argument("--markdown", required=True)
    parser.add_argument("--readme", required=True, help="README whose headline table to renew")
    parser.add_argument("--plot", required=True)
    parser.add_argument("--gnuplot-script", required=True)
    return parser.parse_args()


def main():
    args = parse_args()
    r = load_results(args.results)
    rows = command_rows(r["commands"])
    goals = startup_goals(r["startup"]) + [command_goal(rows)]
    data_path = os.path.join(args.results, "scaling.dat")

    lines = (intro_section(r["context"]) + verdicts_section()
             + goals_section(goals, r["soak"]) + findings_section(goals, rows, r["startup"])
             + startup_section(r["startup"])
             + command_section(rows, r["rounds"])
             + qt_section(r["startup"], r["commands"], r["commands_qt5"], r["context_qt5"],
                          r["rounds"])
             + scaling_section(r["scaling"], data_path) + soak_section(r["soak"])
             + notes_section(r["context"], rows[0]))
    text = "\n".join(lines)
    with open(args.markdown, "w") as md:
        md.write(text)
    print(text)
    update_readme(args.readme, readme_table(goals, r["soak"], r["startup"], r["commands"],
                                            r["commands_qt5"]))

    subprocess.run(["gnuplot", "-e", f"datafile='{data_path}'; outfile='{args.plot}'",
                    args.gnuplot_script], check=True)


if __name__ == "__main__":
    main()
