#!/usr/bin/env python3
"""Times programs from launch to their first presented frame.

Each round starts every program once, in an order that rotates from round to round and runs
backwards every other pass, so that anything drifting on the machine during the run weighs on
all alike and the runs of one round can be compared pair by pair. The preloaded firstframe
library notes the clock, the CPU time and the peak resident size at the first buffer swap
that shows the whole triangle and ends the process there. Writes every run's figures as JSON, in
round order.
"""

import argparse
import json
import os
import statistics
import tempfile
import time


def launch(program, shim, out_path, timeout):
    env = dict(os.environ, LD_PRELOAD=shim, ZENTRILE_FIRSTFRAME_OUT=out_path)
    if os.path.exists(out_path):
        os.unlink(out_path)
    start_ns = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
    pid = os.posix_spawn(program, [program], env)
    deadline = time.monotonic() + timeout
    while True:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            break
        if time.monotonic() > deadline:
            os.kill(pid, 9)
            os.waitpid(pid, 0)
            raise RuntimeError(f"{program} showed no complete frame within {timeout} s")
        # The times come from the program itself, so how soon we notice its end is irrelevant.
        time.sleep(0.005)
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0 \
            or not os.path.exists(out_path):
        raise RuntimeError(f"{program} ended without a frame (status {status})")
    with open(out_path) as f:
        frame_ns, peak_kib, swaps, cpu_ns = (int(v) for v in f.read().split())
    return {"start_up_ms": (frame_ns - start_ns) / 1e6, "peak_kib": peak_kib, "swaps": swaps,
            "cpu_ms": cpu_ns / 1e6}


def round_order(programs, round_index):
    """Every program takes every place in turn; each second pass runs backwards."""
    count = len(programs)
    shift = round_index % count
    order = programs[shift:] + programs[:shift]
    return order[::-1] if (round_index // count) % 2 else order


def run_rounds(programs, args):
    results = {name: {} for name, _ in programs}
    with tempfile.TemporaryDirectory() as tmp:
        out_path = os.path.join(tmp, "firstframe")
        for round_index in range(args.warm_up + args.runs):
            for name, path in round_order(programs, round_index):
                figures = launch(os.path.abspath(path), os.path.abspath(args.shim), out_path,
                                 args.timeout)
                if round_index >= args.warm_up:
                    for key, value in figures.items():
                        results[name].setdefault(key, []).append(value)
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--shim", required=True, help="path of libfirstframe.so")
    parser.add_argument("--runs", type=int, default=20, help="measured runs of each program")
    parser.add_argument("--warm-up", type=int, default=2, help="unmeasured runs of each")
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--out", required=True, help="JSON file to write")
    parser.add_argument("programs", nargs="+", metavar="NAME=PATH")
    args = parser.parse_args()

    programs = [p.split("=", 1) for p in args.programs]
    results = run_rounds(programs, args)

    for name, r in results.items():
        print(f"{name}: start-up median {statistics.median(r['start_up_ms']):.1f} ms, "
              f"peak RSS median {statistics.median(r['peak_kib'])} KiB, "
              f"first complete frame at swap {statistics.median(r['swaps']):.0f}")
    with open(args.out, "w") as f:
        json.dump({"runs": args.runs, "programs": results}, f, indent=1)


if __name__ == "__main__":
    main()
