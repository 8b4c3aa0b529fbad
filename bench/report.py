#!/usr/bin/env python3
"""Turns the results of one benchmark run into docs/benchmarks.md and docs/benchmarks.png.

Reads the JSON left by startup.py, bench_commands, bench_scaling and bench_soak, prints the
tables, writes them with their goals to the Markdown file and plots the scaling results.
"""

import argparse
import json
import os
import re
import statistics
import subprocess

# The goals, fixed here before any run: a ratio to the reference at most this.
RATIO_GOAL = 1.05
# Once the allocator has handed back its free pages, the soak's samples hold steady to a page
# or two; growth beyond 16 pages would be memory really held.
SOAK_NOISE_KIB = 64


def load(path):
    with open(path) as f:
        return json.load(f)


def quartiles(values):
    q = statistics.quantiles(values, n=4)
    return q[0], statistics.median(values), q[2]


def time_ms(entry, kind="real_time"):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry["time_unit"]]
    return entry[kind] * scale


def medians(gbench):
    """Maps each benchmark's name to its median entry, or to its only run if it had one."""
    result = {}
    for b in gbench["benchmarks"]:
        name = re.sub(r"/(iterations:\d+|real_time)", "", b["run_name"])
        if b.get("aggregate_name") == "median" or (b["run_type"] == "iteration"
                                                   and name not in result):
            result[name] = b
    return result


def verdict(ratio):
    return "met" if ratio <= RATIO_GOAL else f"**missed** ({(ratio - 1) * 100:+.1f}%)"


def fmt_ms(ms):
    return f"{ms:.3g}" if ms < 100 else f"{ms:.0f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--results", required=True, help="folder with the JSON results")
    parser.add_argument("--markdown", required=True)
    parser.add_argument("--plot", required=True)
    parser.add_argument("--gnuplot-script", required=True)
    args = parser.parse_args()

    startup = load(os.path.join(args.results, "startup.json"))
    commands = load(os.path.join(args.results, "commands.json"))
    scaling = load(os.path.join(args.results, "scaling.json"))
    soak = load(os.path.join(args.results, "soak.json"))
    context = commands["context"]

    lines = []
    out = lines.append

    # Start-up.
    z = startup["programs"]["zentrile"]
    f = startup["programs"]["floor"]
    z_ms, f_ms = statistics.median(z["start_up_ms"]), statistics.median(f["start_up_ms"])
    z_kib, f_kib = statistics.median(z["peak_kib"]), statistics.median(f["peak_kib"])
    startup_ratio, memory_ratio = z_ms / f_ms, z_kib / f_kib

    # Command latency.
    cmd = medians(commands)
    repaint = cmd["Repaint"]
    cycle = cmd["Command/cycle"]
    command_ratio = time_ms(cycle) / time_ms(repaint)
    reps = cycle.get("repetitions", 1)
    unwired = [n for n, b in cmd.items() if n.startswith("Command/")
               and b.get("paints_per_op", 0) < 0.99]

    # Soak.
    samples = soak["samples"]
    quarter = max(1, len(samples) // 4)

    def growth(column):
        first = statistics.median(s[column] for s in samples[:quarter])
        last = statistics.median(s[column] for s in samples[-quarter:])
        return last - first

    def band(column):
        return (min(s[column] for s in samples) / 1024, max(s[column] for s in samples) / 1024)

    soak_growth, soak_raw_growth = growth(2), growth(1)
    soak_met = soak_growth <= SOAK_NOISE_KIB

    out("# Benchmarks")
    out("")
    out("Measured by `scripts/bench` on "
        f"{context['date'][:10]}: {context['num_cpus']} cores at {context['mhz_per_cpu']} MHz, "
        f"Qt {context['qt']}, OpenGL renderer {context['renderer']}, Release build. "
        "Without a display the script runs everything on Xvfb, so every frame is drawn in "
        "software; the figures say how zentrile compares with its references on one machine, "
        "not how fast it is on a real GPU.")
    out("")
    out("To measure again, run `scripts/bench` (a few minutes on two cores); it rewrites this "
        "file and `benchmarks.png`. `STARTUP_RUNS`, `COMMAND_REPETITIONS` and "
        "`SCALING_REPETITIONS` in the environment change the number of runs.")
    out("")
    out("## Goals")
    out("")
    out("| Measure | zentrile | reference | ratio | goal | result |")
    out("| --- | ---: | ---: | ---: | --- | --- |")
    out(f"| Start-up to first frame, median of {startup['runs']} | {z_ms:.1f} ms | "
        f"{f_ms:.1f} ms (floor) | {startup_ratio:.3f} | within 5% of the floor | "
        f"{verdict(startup_ratio)} |")
    out(f"| Peak resident memory at first frame | {z_kib / 1024:.1f} MiB | "
        f"{f_kib / 1024:.1f} MiB (floor) | {memory_ratio:.3f} | within 5% of the floor | "
        f"{verdict(memory_ratio)} |")
    command_result = verdict(command_ratio)
    if unwired:
        command_result = "**not measurable**: some commands drew no frame"
    out(f"| Command latency, trigger to finished frame, median of {reps} | "
        f"{time_ms(cycle) * 1000:.0f} µs | {time_ms(repaint) * 1000:.0f} µs (bare repaint) | "
        f"{command_ratio:.3f} | within 5% of a bare repaint | {command_result} |")
    out(f"| Resident growth over {soak['commands']:,} commands and {soak['resizes']:,} "
        f"resizes, free pages handed back (as is: {soak_raw_growth:+.0f} KiB) | "
        f"{soak_growth:+.0f} KiB | noise: {SOAK_NOISE_KIB} KiB | | none beyond noise | "
        f"{'met' if soak_met else '**missed**'} |")
    out("")
    out("A ratio is zentrile's median over the reference's median; below 1 means zentrile "
        "was faster or smaller.")
    out("")

    out("## Start-up and peak memory")
    out("")
    out("The floor (`bench/floor.cpp`) builds the same window by hand: title, 600 × 400, an "
        "empty menu bar, a toolbar with the seven actions, a status bar and a canvas in a "
        "horizontal layout, whose canvas draws the same triangle in immediate mode under a "
        "fixed projection. `bench/startup.py` starts the two in turn, "
        f"{startup['runs']} times each after a warm-up, reversing the order every round. "
        "The preloaded `bench/firstframe.cpp` notes the monotonic clock and `VmHWM` at the "
        "first `glXSwapBuffers` (after the X server has taken the frame) and ends the "
        "process there.")
    out("")
    out("| program | start-up, ms (25% / median / 75%) | peak RSS, MiB (25% / median / 75%) |")
    out("| --- | --- | --- |")
    for name, r in (("zentrile", z), ("floor", f)):
        t = " / ".join(f"{v:.1f}" for v in quartiles(r["start_up_ms"]))
        m = " / ".join(f"{v / 1024:.1f}" for v in quartiles(r["peak_kib"]))
        out(f"| {name} | {t} | {m} |")
    out("")

    out("## Command latency")
    out("")
    out("`bench/commandbench.cpp` opens the real main window and times, per command, "
        "`QAction::trigger()` on the toolbar action, delivery of the posted repaint and "
        "`glFinish()` with the canvas's context current. The reference is `update()` on the "
        "same canvas followed by the same steps. `Command/cycle` runs the seven actions in "
        "turn and is the figure in the goals table; each single action starts from the fitted "
        "view (Fit from a zoomed one), restored outside the timed part. Each row is "
        f"{reps} repetitions of {cycle['iterations'] if False else 200} commands, interleaved "
        "in random order by Google Benchmark; the table gives the median repetition.")
    out("")
    out("| benchmark | median, µs | ratio to bare repaint | GUI thread CPU, µs | "
        "frames per command |")
    out("| --- | ---: | ---: | ---: | ---: |")
    for name in ["Repaint", "Command/cycle"] + sorted(
            n for n in cmd if n.startswith("Command/action")):
        b = cmd[name]
        out(f"| {name} | {time_ms(b) * 1000:.0f} | {time_ms(b) / time_ms(repaint):.3f} | "
            f"{time_ms(b, 'cpu_time') * 1000:.0f} | {b.get('paints_per_op', 0):.2f} |")
    out("")
    out("The goal is on wall-clock time, the time the user waits. The GUI thread's CPU time is "
        "only a part of it (llvmpipe rasterises on its own threads and the X server is another "
        "process), but it is much steadier, so it shows better what a command adds to a "
        "repaint: here "
        f"{(time_ms(cycle, 'cpu_time') - time_ms(repaint, 'cpu_time')) * 1000:.0f} µs of "
        "GUI-thread time for the action's dispatch and the navigation step before the "
        "repaint.")
    out("")

    out("## Scaling with the model")
    out("")
    out("`bench/scalingbench.cpp` draws models of random small triangles on a 600 × 400 "
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
        "of the repetitions; models of 10⁶ triangles run two iterations per repetition.")
    out("")
    out("| triangles | first paint, ms | repaint (list), ms | repaint (immediate), ms | "
        "immediate / list | immediate / list, GUI thread CPU | resize (list), ms | "
        "resize (immediate), ms | bytes per vertex (list) | bytes per vertex (immediate) | "
        "difference |")
    out("| ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |")
    sc = medians(scaling)
    counts = sorted({int(n.split("/")[2]) for n in sc})
    data_path = os.path.join(args.results, "scaling.dat")
    with open(data_path, "w") as dat:
        dat.write("# triangles first_paint list_repaint immediate_repaint list_resize "
                  "immediate_resize list_bytes_per_vertex immediate_bytes_per_vertex "
                  "list_own_bytes_per_vertex\n")
        for n in counts:
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
            out(f"| {n:,} | {fmt_ms(row[0])} | {fmt_ms(row[1])} | {fmt_ms(row[2])} | "
                f"{row[2] / row[1]:.2f} | {cpu_ratio:.2f} | {fmt_ms(row[3])} | "
                f"{fmt_ms(row[4])} | {row[5]:.0f} | {row[6]:.0f} | {row[7]:+.0f} |")
    out("")
    top = counts[-1]
    first, replay, immediate = (time_ms(sc[f"{k}/{top}"]) for k in
                                ("List/FirstPaint", "List/Repaint", "Immediate/Repaint"))
    out(f"At {top:,} triangles the first paint takes {fmt_ms(first)} ms, "
        f"{first / replay:.1f} times a later paint ({fmt_ms(replay)} ms); redrawing in "
        f"immediate mode takes {fmt_ms(immediate)} ms, so the list "
        + (f"saves {(1 - replay / immediate) * 100:.0f}% of a repaint here. "
           if replay < immediate else "saves nothing here. ")
        + "llvmpipe sets up and bins every triangle on the drawing thread whichever way it "
        "arrives, so on this renderer the list can only save the sending of the vertices; "
        "on a GPU, where a list can stay in video memory, the saving should be larger, but "
        "that is not measured here.")
    out("")
    out("![Scaling with the number of triangles](benchmarks.png)")
    out("")

    out("## Soak")
    out("")
    out(f"`bench/soak.cpp` drives the real main window through {soak['commands']:,} "
        "toolbar commands (the seven in turn, each repainted) and "
        f"{soak['resizes']:,} window resizes between two sizes, after "
        f"{soak['warm_up_commands']:,} commands of warm-up, and samples the resident size "
        "every 5,000 commands, twice: as it is, then again after `malloc_trim` has handed "
        "the allocator's free pages back to the system. Growth is the median of the last "
        "quarter of the samples less that of the first quarter. The goal is judged on the "
        "second reading: the first moves by a megabyte or two from sample to sample, up and "
        "down, as freed memory stays with the allocator or goes back, and says nothing about "
        "what the program holds.")
    out("")
    out(f"- after handing back free pages: growth {soak_growth:+.0f} KiB (noise "
        f"{SOAK_NOISE_KIB} KiB), samples between {band(2)[0]:.1f} and {band(2)[1]:.1f} MiB: "
        f"{'met' if soak_met else 'missed'}")
    out(f"- as is: growth {soak_raw_growth:+.0f} KiB, samples between {band(1)[0]:.1f} and "
        f"{band(1)[1]:.1f} MiB")
    out(f"- frames drawn: {soak['paints']:,}; resizes that reached the canvas: "
        f"{soak['resizes_seen']:,} of {soak['resizes']:,}")
    out("")

    out("## Notes")
    out("")
    out("- Debian's Google Benchmark library is a debug build and says so in its output; it "
        "only runs the timing loop, which is not what is measured here.")
    out("- Times are wall-clock (`UseRealTime`): llvmpipe draws on its own threads and the X "
        "server is another process, so the benchmark thread's CPU time would miss most of a "
        "frame.")
    cv = {b["run_name"]: b["real_time"] for b in commands["benchmarks"]
          if b.get("aggregate_name") == "cv"}
    repaint_cv = next((v for k, v in cv.items() if k.startswith("Repaint/")), None)
    if repaint_cv is not None:
        out(f"- One repetition of the bare repaint varies by {repaint_cv * 100:.0f}% "
            "(coefficient of variation over the repetitions): on two cores the X server, "
            "llvmpipe's threads and anything else running share the processors. The ratios "
            "use the medians of the interleaved repetitions, which move much less.")
    out(f"- Load average when the command latency run began: "
        f"{', '.join(f'{v:.2f}' for v in context['load_avg'])} (1, 5 and 15 minutes).")
    out("")

    text = "\n".join(lines)
    with open(args.markdown, "w") as md:
        md.write(text)
    print(text)

    subprocess.run(["gnuplot", "-e", f"datafile='{data_path}'; outfile='{args.plot}'",
                    args.gnuplot_script], check=True)


if __name__ == "__main__":
    main()
