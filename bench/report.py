#!/usr/bin/env python3
"""Turns one run of scripts/bench into tables and a plot.

Reads the JSON results, prints the tables, writes them between their marker comments in
docs/benchmarks.md and the README, and plots frame time against canvas area. All prose
lives in docs/benchmarks.md, written by hand.
"""

import argparse
import glob
import json
import os
import re
import statistics
import subprocess
import tempfile
import time

FRAME_GOAL = 1.25
START_UP_GOAL = 1.05
START_UP_BLOCK = 5
SERVERS = {"x11": "X11 (Xvfb)", "weston": "Weston"}
BUILDS = {"qt6": "Qt 6", "qt5": "Qt 5 (XWayland)", "qt6-xwayland": "Qt 6 (XWayland)"}


def spread(ratios):
    """Median of the paired ratios, and their lower and upper quartiles."""
    if len(ratios) < 2:
        return (ratios[0],) * 3
    q1, median, q3 = statistics.quantiles(ratios, n=4)
    return median, q1, q3


def verdict(ratios, goal):
    median, q1, q3 = spread(ratios)
    if q3 <= goal:
        return "met"
    return "**missed**" if q1 > goal else "not shown"


def ratio_text(ratios):
    return "{:.2f} ({:.2f} to {:.2f})".format(*spread(ratios))


def build_name(server, build):
    return BUILDS[build].replace(" (XWayland)", "") if server == "x11" else BUILDS[build]


def load_frames(results):
    runs = []
    for path in sorted(glob.glob(os.path.join(results, "frames-*.json"))):
        server, build, size = re.match(r"frames-(\w+)-([\w-]+)-(\d+x\d+)\.json",
                                       os.path.basename(path)).groups()
        with open(path) as f:
            run = json.load(f)
        run.update(server=server, build=build,
                   ratios=[c / b for c, b in zip(run["command_us"], run["bare_us"])],
                   area=run["canvas"][0] * run["canvas"][1])
        runs.append(run)
    return sorted(runs, key=lambda r: (list(SERVERS).index(r["server"]),
                                       list(BUILDS).index(r["build"]), r["area"]))


def size_text(pair):
    return f"{pair[0]} × {pair[1]}"


def frame_row(run):
    return (f"| {SERVERS[run['server']]} | {build_name(run['server'], run['build'])} "
            f"| {size_text(run['window'])} | {size_text(run['canvas'])} "
            f"| {statistics.median(run['command_us']):.0f} "
            f"| {statistics.median(run['bare_us']):.0f} | {ratio_text(run['ratios'])} "
            f"| {verdict(run['ratios'], FRAME_GOAL)} | {run['frames_per_command']:.2f} "
            f"| {run['frames_per_bare']:.2f} |")


def frames_table(runs):
    lines = ["| server | build | window | canvas, device px | command, µs | bare frame, µs "
             "| ratio (spread) | within 1.25 | frames per command | frames per bare frame |",
             "| --- | --- | --- | --- | ---: | ---: | --- | --- | ---: | ---: |"]
    return "\n".join(lines + [frame_row(run) for run in runs])


def paired(startup, name, reference, key):
    """One ratio per block of consecutive rounds, of the two programs' medians there: a single
    launch varies with the machine's load by more than the goals allow."""
    ours, theirs = startup[name][key], startup[reference][key]
    return [statistics.median(ours[i:i + START_UP_BLOCK])
            / statistics.median(theirs[i:i + START_UP_BLOCK])
            for i in range(0, len(ours) - START_UP_BLOCK + 1, START_UP_BLOCK)]


def goal_rows(runs, startups):
    rows = []
    for server, label in SERVERS.items():
        for run in (r for r in runs if r["server"] == server and r["build"] == "qt6"):
            rows.append((f"{label}: frame after a command, window {size_text(run['window'])}",
                         f"{statistics.median(run['command_us']):.0f} µs",
                         f"bare frame {statistics.median(run['bare_us']):.0f} µs",
                         run["ratios"], FRAME_GOAL))
        startup = startups.get(server)
        if not startup:
            continue
        reference_names = {"zentrile_qt5": "the Qt 5 build", "floor": "the floor"}
        for reference, reference_label in reference_names.items():
            for key, measure, unit, scale in (("start_up_ms", "start-up", "ms", 1),
                                              ("peak_kib", "peak memory", "MiB", 1024)):
                rows.append((f"{label}: {measure}, against {reference_label}",
                             f"{statistics.median(startup['zentrile'][key]) / scale:.1f} {unit}",
                             f"{statistics.median(startup[reference][key]) / scale:.1f} {unit}",
                             paired(startup, "zentrile", reference, key), START_UP_GOAL))
    lines = ["| measure (Qt 6 build) | zentrile | reference | ratio (spread) | goal | result |",
             "| --- | ---: | ---: | --- | --- | --- |"]
    for measure, ours, theirs, ratios, goal in rows:
        lines.append(f"| {measure} | {ours} | {theirs} | {ratio_text(ratios)} "
                     f"| at most {goal:.2f} | {verdict(ratios, goal)} |")
    counts = sorted({r["frames_per_command"] for r in runs} | {r["frames_per_bare"] for r in runs})
    lines.append(f"| Frames drawn per command and per bare frame, every run above "
                 f"| {' / '.join(f'{c:.2f}' for c in counts)} | | | exactly 1 "
                 f"| {'met' if counts == [1.0] else '**missed**'} |")
    return "\n".join(lines)


def startup_table(startups):
    lines = ["| server | program | start-up, ms (25% / median / 75%) | CPU time, ms "
             "| peak memory, MiB | swaps to the first complete frame |",
             "| --- | --- | --- | ---: | ---: | ---: |"]
    for server, startup in startups.items():
        for name, runs in startup.items():
            q1, median, q3 = statistics.quantiles(runs["start_up_ms"], n=4)
            lines.append(f"| {SERVERS[server]} | {name} | {q1:.1f} / {median:.1f} / {q3:.1f} "
                         f"| {statistics.median(runs['cpu_ms']):.1f} "
                         f"| {statistics.median(runs['peak_kib']) / 1024:.1f} "
                         f"| {statistics.median(runs['swaps']):.0f} |")
    lines += ["", "| server | program | reference | start-up | CPU time | peak memory |",
              "| --- | --- | --- | --- | --- | --- |"]
    for server, startup in startups.items():
        for name, reference in (("zentrile", "zentrile_qt5"), ("zentrile", "floor"),
                                ("zentrile_qt5", "floor_qt5"), ("floor", "floor_qt5")):
            cells = [ratio_text(paired(startup, name, reference, key))
                     for key in ("start_up_ms", "cpu_ms", "peak_kib")]
            lines.append(f"| {SERVERS[server]} | {name} | {reference} | {' | '.join(cells)} |")
    return "\n".join(lines)


def growth_text(runs):
    for run in runs:
        if "growth" in run:
            growth = run["growth"]
            return (f"Resident growth over {growth['commands']:,} commands with a resize every "
                    f"hundred ({SERVERS[run['server']]}, {build_name(run['server'], run['build'])}"
                    f", {size_text(run['window'])}): {growth['kib']:+.0f} KiB.")
    return "No growth run."


def machine_text(runs, results):
    qt = sorted({run["qt"] for run in runs})
    renderer = sorted({run["renderer"] for run in runs})
    with open("/proc/cpuinfo") as f:
        model = re.search(r"model name\s*:\s*(.*)", f.read()).group(1)
    day = time.strftime("%Y-%m-%d", time.localtime(os.path.getmtime(results)))
    return (f"Last run: {day}, {os.cpu_count()} cores ({model}), Qt {' and '.join(qt)}, "
            f"renderer {' / '.join(renderer)}, Release builds.")


def replace_block(path, name, text):
    """Puts text between <!-- NAME: written by scripts/bench --> and <!-- end of NAME -->."""
    with open(path) as f:
        content = f.read()
    start, end = f"<!-- {name}: written by scripts/bench -->", f"<!-- end of {name} -->"
    if start not in content or end not in content:
        raise SystemExit(f"{path} lacks the markers of its {name}")
    head, rest = content.split(start, 1)
    tail = rest.split(end, 1)[1]
    with open(path, "w") as f:
        f.write(f"{head}{start}\n{text}\n{end}{tail}")


def plot(runs, path):
    series = [("x11", "qt6", "command_us", "X11, Qt 6"), ("x11", "qt5", "command_us", "X11, Qt 5"),
              ("x11", "qt6", "bare_us", "X11, bare frame"),
              ("weston", "qt6", "command_us", "Weston, Qt 6 (Wayland)"),
              ("weston", "qt5", "command_us", "Weston, Qt 5 (XWayland)"),
              ("weston", "qt6", "bare_us", "Weston, bare frame (Wayland)")]
    plots = []
    with tempfile.TemporaryDirectory() as tmp:
        for index, (server, build, key, title) in enumerate(series):
            points = [(r["area"] / 1e6, statistics.median(r[key]) / 1e3) for r in runs
                      if r["server"] == server and r["build"] == build]
            if not points:
                continue
            data = os.path.join(tmp, f"{index}.dat")
            with open(data, "w") as f:
                f.writelines(f"{x} {y}\n" for x, y in points)
            style = "dashtype 2" if key == "bare_us" else "dashtype 1"
            plots.append(f"'{data}' with linespoints lw 2 {style} title '{title}'")
        script = ("set terminal pngcairo size 1000,600 font 'DejaVu Sans,11'\n"
                  f"set output '{path}'\nset logscale xy\nset grid\nset key top left\n"
                  "set title 'Frame after a toolbar command, and the bare frame (median)'\n"
                  "set xlabel 'canvas area, million device pixels'\n"
                  "set ylabel 'request to finished frame, ms'\n"
                  f"plot {', '.join(plots)}\n")
        subprocess.run(["gnuplot"], input=script, text=True, check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--results", required=True)
    parser.add_argument("--markdown", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--plot", required=True)
    args = parser.parse_args()

    runs = load_frames(args.results)
    startups = {}
    for server in SERVERS:
        path = os.path.join(args.results, f"startup-{server}.json")
        if os.path.exists(path):
            with open(path) as f:
                startups[server] = json.load(f)
    blocks = {"machine": machine_text(runs, args.results), "goals": goal_rows(runs, startups),
              "frames": frames_table(runs), "growth": growth_text(runs),
              "start-up": startup_table(startups)}
    for name, text in blocks.items():
        print(f"{text}\n")
        replace_block(args.markdown, name, text)
    replace_block(args.readme, "benchmark headline", blocks["goals"])
    plot(runs, args.plot)


if __name__ == "__main__":
    main()
