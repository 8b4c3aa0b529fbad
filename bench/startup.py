#!/usr/bin/env python3
"""How soon after launch does the user see the whole window, and with how much memory?

Starts every program once a round, in an order that rotates from round to round and runs
backwards every other pass, so that whatever drifts on the machine weighs on all alike and
the runs of one round can be compared pair by pair. The preloaded firstframe library ends
each program at its first complete frame and notes the time, CPU time and peak memory there.
Each program is NAME=[VAR=VALUE ...] PATH. Writes every run's figures as JSON, in round order.
"""

import argparse
import json
import os
import subprocess
import tempfile
import time


def launch(command, shim, out_path):
    *assignments, program = command.split()
    env = dict(os.environ, LD_PRELOAD=shim, ZENTRILE_FIRSTFRAME_OUT=out_path)
    env.update(a.split("=", 1) for a in assignments)
    if os.path.exists(out_path):
        os.unlink(out_path)
    start_ns = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
    # The times come from the program itself, so how soon we notice its end is irrelevant.
    subprocess.run([program], env=env, timeout=60, check=True)
    with open(out_path) as f:
        frame_ns, peak_kib, swaps, cpu_ns = (int(v) for v in f.read().split())
    return {"start_up_ms": (frame_ns - start_ns) / 1e6, "peak_kib": peak_kib, "swaps": swaps,
            "cpu_ms": cpu_ns / 1e6}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--shim", required=True, help="path of libfirstframe.so")
    parser.add_argument("--runs", type=int, default=30, help="measured rounds")
    parser.add_argument("--warm-up", type=int, default=2, help="unmeasured rounds first")
    parser.add_argument("--out", required=True, help="JSON file to write")
    parser.add_argument("programs", nargs="+", metavar="NAME=[VAR=VALUE ...] PATH")
    args = parser.parse_args()

    programs = [p.split("=", 1) for p in args.programs]
    results = {name: {} for name, _ in programs}
    with tempfile.TemporaryDirectory() as tmp:
        out_path = os.path.join(tmp, "firstframe")
        for round_index in range(args.warm_up + args.runs):
            shift = round_index % len(programs)
            order = programs[shift:] + programs[:shift]
            if (round_index // len(programs)) % 2:
                order.reverse()
            for name, command in order:
                figures = launch(command, os.path.abspath(args.shim), out_path)
                if round_index >= args.warm_up:
                    for key, value in figures.items():
                        results[name].setdefault(key, []).append(value)
    with open(args.out, "w") as f:
        json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
