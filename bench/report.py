#!/usr/bin/env python3
"""Turns one run of scripts/bench into tables and a plot, beside the last run on each other
Debian release.

Keeps the run's tables as docs/benchmarks-RELEASE.json, prints them, writes every release's
between their marker comments in docs/benchmarks.md and the README, the goals side by side,
and plots frame time against canvas area. The prose is written by hand.
"""

import argparse
import glob
import json
import os
import re
import subprocess
import time
from statistics import median, quantiles

FRAME_GOAL = 1.25
START_UP_GOAL = 1.05
# The last event of a burst stands on the screen within a bare frame and a millisecond.
INPUT_GOAL = 1.0
INPUT_SLACK_US = 1000
# Start-up ratios are taken over blocks of this many consecutive rounds: one launch varies with
# the machine's load by more than the goals allow.
BLOCK = 5
SERVERS = {"x11": "X11 (Xvfb)", "weston": "Weston"}
BUILDS = {"qt6": "Qt 6", "qt5": "Qt 5", "qt5-xwayland": "Qt 5 (XWayland)",
          "qt6-xwayland": "Qt 6 (XWayland)"}


def spread(ratios):
    q1, middle, q3 = quantiles(ratios, n=4) if len(ratios) > 1 else ratios * 3
    return middle, q1, q3


def verdict(ratios, goal):
    _, q1, q3 = spread(ratios)
    return "met" if q3 <= goal else "**missed**" if q1 > goal else "not shown"


def ratio(ratios):
    return "{:.2f} ({:.2f} to {:.2f})".format(*spread(ratios))


def table(header, rows):
    lines = [header, "|" + " --- |" * header.count(" | ") + " --- |"]
    return "\n".join(lines + ["| " + " | ".join(str(cell) for cell in row) + " |"
                              for row in rows])


def size(pair):
    return f"{pair[0]} × {pair[1]}"


def load_frames(results):
    runs = []
    for path in glob.glob(os.path.join(results, "frames-*.json")):
        server, build = re.match(r"frames-(\w+)-([\w-]+)-\d+x\d+\.json",
                                 os.path.basename(path)).groups()
        with open(path) as f:
            run = json.load(f)
        run.update(server=server, build=build, area=run["canvas"][0] * run["canvas"][1],
                   ratios=[c / b for c, b in zip(run["command_us"], run["bare_us"])])
        runs.append(run)
    return sorted(runs, key=lambda r: (list(SERVERS).index(r["server"]),
                                       list(BUILDS).index(r["build"]), r["area"]))


def load_input(results):
    runs = []
    for path in glob.glob(os.path.join(results, "input-*.json")):
        server, build = re.match(r"input-(\w+)-([\w-]+)\.json", os.path.basename(path)).groups()
        with open(path) as f:
            runs.append(dict(json.load(f), server=server, build=build))
    return sorted(runs, key=lambda r: (list(SERVERS).index(r["server"]),
                                       list(BUILDS).index(r["build"])))


def input_table(runs):
    rows = []
    for r in runs:
        for burst in ("drag", "wheel"):
            b = r[burst]
            ratios = [t / (bare + INPUT_SLACK_US)
                      for t, bare in zip(b["latency_us"], b["bare_us"])]
            rows.append((SERVERS[r["server"]], BUILDS[r["build"]], size(r["window"]), burst,
                         f"{median(b['send_us']) / 1e3:.1f}", f"{median(b['latency_us']):.0f}",
                         f"{median(b['bare_us']):.0f}", ratio(ratios), verdict(ratios, INPUT_GOAL),
                         f"{median(b['frames']):.0f} / {max(b['frames']):.0f}",
                         "met" if set(b["frames"]) == {1} else "**missed**"))
    events = " and ".join(sorted({f"{r['events']:,}" for r in runs}))
    return table(f"| server | build | window | burst | {events} events handled, ms "
                 "| last event to its frame, µs | bare frame, µs "
                 "| ratio to bare frame + 1 ms (spread) | within 1 "
                 "| frames per burst, median / max | exactly 1 |", rows)


def paired(startup, name, reference, key):
    ours, theirs = startup[name][key], startup[reference][key]
    return [median(ours[i:i + BLOCK]) / median(theirs[i:i + BLOCK])
            for i in range(0, len(ours) - BLOCK + 1, BLOCK)]


def goals_rows(runs, startups):
    rows = []
    for server, label in SERVERS.items():
        for run in (r for r in runs if (r["server"], r["build"]) == (server, "qt6")):
            rows.append((f"{label}: frame after a command, window {size(run['window'])}",
                         f"{median(run['command_us']):.0f} µs",
                         f"bare frame {median(run['bare_us']):.0f} µs", run["ratios"],
                         FRAME_GOAL))
        startup = startups.get(server, {})
        for reference, name in (("zentrile_qt5", "the Qt 5 build"), ("floor", "the floor")):
            for key, measure, unit, scale in (("start_up_ms", "start-up", "ms", 1),
                                              ("peak_kib", "peak memory", "MiB", 1024)):
                if reference in startup:
                    rows.append((f"{label}: {measure}, against {name}",
                                 f"{median(startup['zentrile'][key]) / scale:.1f} {unit}",
                                 f"{median(startup[reference][key]) / scale:.1f} {unit}",
                                 paired(startup, "zentrile", reference, key), START_UP_GOAL))
    rows = [(m, ours, theirs, ratio(r), f"at most {goal:.2f}", verdict(r, goal))
            for m, ours, theirs, r, goal in rows]
    counts = sorted({r["frames_per_command"] for r in runs} | {r["frames_per_bare"] for r in runs})
    rows.append(("Frames drawn per command and per bare frame, every run above",
                 " / ".join(f"{c:.2f}" for c in counts), "", "", "exactly 1",
                 "met" if counts == [1.0] else "**missed**"))
    return rows


def goals_table(summaries):
    """The goals of every release's run side by side, judged alike."""
    measures = list(dict.fromkeys((row[0], row[4]) for s in summaries for row in s["goals"]))
    header = "| measure (Qt 6 build) | goal |" + "".join(
        f" {s['name']}, Qt {s['qt']}: ratio (spread) | result |" for s in summaries)
    rows = []
    for measure, goal in measures:
        row = [measure, goal]
        for s in summaries:
            found = [r for r in s["goals"] if (r[0], r[4]) == (measure, goal)]
            # The frame count's row has its counts where the others have a ratio.
            row += [found[0][3] or found[0][1], found[0][5]] if found else ["not run", ""]
        rows.append(row)
    return table(header, rows)


def frames_table(runs):
    return table("| server | build | window | canvas, device px | command, µs | bare frame, µs "
                 "| ratio (spread) | within 1.25 | frames per command | per bare frame |",
                 [(SERVERS[r["server"]], BUILDS[r["build"]], size(r["window"]), size(r["canvas"]),
                   f"{median(r['command_us']):.0f}", f"{median(r['bare_us']):.0f}",
                   ratio(r["ratios"]), verdict(r["ratios"], FRAME_GOAL),
                   f"{r['frames_per_command']:.2f}", f"{r['frames_per_bare']:.2f}")
                  for r in runs])


def startup_tables(startups):
    figures = table("| server | program | start-up, ms (25% / median / 75%) | CPU time, ms "
                    "| peak memory, MiB | swaps to the first complete frame |",
                    [(SERVERS[server], name,
                      " / ".join(f"{v:.1f}" for v in sorted(spread(runs["start_up_ms"]))),
                      f"{median(runs['cpu_ms']):.1f}", f"{median(runs['peak_kib']) / 1024:.1f}",
                      f"{median(runs['swaps']):.0f}")
                     for server, startup in startups.items() for name, runs in startup.items()])
    pairs = (("zentrile", "zentrile_qt5"), ("zentrile", "floor"), ("zentrile_qt5", "floor_qt5"),
             ("floor", "floor_qt5"))
    ratios = table("| server | program | reference | start-up | CPU time | peak memory |",
                   [(SERVERS[server], name, reference,
                     *(ratio(paired(startup, name, reference, key))
                       for key in ("start_up_ms", "cpu_ms", "peak_kib")))
                    for server, startup in startups.items() for name, reference in pairs])
    return f"{figures}\n\n{ratios}"


def growth_text(runs):
    run = next(r for r in runs if "growth" in r)
    return (f"Resident growth over {run['growth']['commands']:,} commands with a resize every "
            f"hundred ({SERVERS[run['server']]}, {BUILDS[run['build']]}, "
            f"{size(run['window'])}): {run['growth']['kib']:+.0f} KiB.")


def machine_text(runs, results, system):
    with open("/proc/cpuinfo") as f:
        model = re.search(r"model name\s*:\s*(.*)", f.read()).group(1)
    day = time.strftime("%Y-%m-%d", time.localtime(os.path.getmtime(results)))
    return (f"{system['release']}: last run {day}, {os.cpu_count()} cores ({model}), "
            f"Qt {' and '.join(sorted({r['qt'] for r in runs}))}, Mesa {system['mesa']}, "
            f"renderer {' / '.join(sorted({r['renderer'] for r in runs}))}, Release builds.")


def replace_block(path, name, text):
    """Puts text between <!-- NAME: written by scripts/bench --> and <!-- end of NAME -->."""
    with open(path) as f:
        content = f.read()
    start, end = f"<!-- {name}: written by scripts/bench -->", f"<!-- end of {name} -->"
    if start not in content or end not in content:
        raise SystemExit(f"{path} lacks the markers of its {name}")
    head, rest = content.split(start, 1)
    with open(path, "w") as f:
        f.write(f"{head}{start}\n{text}\n{end}{rest.split(end, 1)[1]}")


def plot_series(runs):
    """Frame time against canvas area: (title, is the bare frame, [(million px, ms)])."""
    series = [("x11", "qt6", "command_us", "X11, Qt 6"),
              ("x11", "qt6", "bare_us", "X11, bare frame"),
              ("weston", "qt6", "command_us", "Weston, Qt 6 (Wayland)"),
              ("weston", "qt6", "bare_us", "Weston, bare frame (Wayland)")]
    return [(title, key == "bare_us",
             [(r["area"] / 1e6, median(r[key]) / 1e3) for r in runs
              if (r["server"], r["build"]) == (server, build)])
            for server, build, key, title in series]


def plot(summaries, path):
    plots, data = [], []
    for colour, s in enumerate(summaries, start=1):
        for title, bare, points in s["plot"]:
            plots.append(f"'-' with linespoints lw 2 linecolor {colour} "
                         f"dashtype {2 if bare else 1} pointtype {len(plots) % 4 + 4} "
                         f"title '{s['name']}: {title}'")
            data += [f"{area} {ms}" for area, ms in points] + ["e"]
    script = ("set terminal pngcairo size 1000,600 font 'DejaVu Sans,11'\n"
              f"set output '{path}'\nset logscale xy\nset grid\nset key top left\n"
              "set title 'Frame after a toolbar command, and the bare frame (median)'\n"
              "set xlabel 'canvas area, million device pixels'\n"
              "set ylabel 'request to finished frame, ms'\n"
              f"plot {', '.join(plots)}\n" + "\n".join(data) + "\n")
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


def summarise(results):
    """This run's tables, with the release, Qt and Mesa it ran on (system.json)."""
    runs = load_frames(results)
    startups = {}
    for server in SERVERS:
        with open(os.path.join(results, f"startup-{server}.json")) as f:
            startups[server] = json.load(f)
    with open(os.path.join(results, "system.json")) as f:
        system = json.load(f)
    qt6 = next(r["qt"] for r in runs if r["build"].startswith("qt6"))
    return {"codename": system["codename"], "name": system["name"], "version": system["version"],
            "qt": qt6, "machine": machine_text(runs, results, system),
            "goals": goals_rows(runs, startups), "frames": frames_table(runs),
            "growth": growth_text(runs), "start-up": startup_tables(startups),
            "input": input_table(load_input(results)), "plot": plot_series(runs)}


def per_release(summaries, key):
    return "\n\n".join(f"**{s['name']}**, Qt {s['qt']}:\n\n{s[key]}" for s in summaries
                       if key in s)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--results", help="a run to add; without it, the kept runs are shown")
    for option in ("--markdown", "--readme", "--plot"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    store = os.path.join(os.path.dirname(args.markdown), "benchmarks-{}.json")
    if args.results:
        run = summarise(args.results)
        with open(store.format(run["codename"]), "w") as f:
            json.dump(run, f, indent=1, ensure_ascii=False)
            f.write("\n")
    summaries = []
    for path in glob.glob(store.format("*")):
        with open(path) as f:
            summaries.append(json.load(f))
    summaries.sort(key=lambda s: int(s["version"]))

    blocks = {"machine": "\n\n".join(s["machine"] for s in summaries),
              "goals": goals_table(summaries), "frames": per_release(summaries, "frames"),
              "growth": "\n\n".join(f"{s['name']}: {s['growth'][0].lower()}{s['growth'][1:]}"
                                   for s in summaries),
              "start-up": per_release(summaries, "start-up"),
              "input": per_release(summaries, "input")}
    for name, text in blocks.items():
        print(f"{text}\n")
        replace_block(args.markdown, name, text)
    replace_block(args.readme, "benchmark headline", blocks["goals"])
    plot(summaries, args.plot)


if __name__ == "__main__":
    main()
