#!/usr/bin/env python3
"""Times zentrile and the floor program from launch to their first presented frame.

The two are started in turn, each round in the opposite order to the last, so that anything
drifting on the machine during the run weighs on both alike. The preloaded firstframe library
notes the clock and the peak resident size at the first buffer swap and ends the process
there. Writes every run's figures as JSON.
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
            raise RuntimeError(f"{program} showed no frame within {timeout} s")
        # The times come from the program itself, so how soon we notice its end is irrelevant.
        time.sleep(0.005)
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0 \
            or not os.path.exists(out_path):
        raise RuntimeError(f"{program} ended without a frame (status {status})")
    with open(out_path) as f:
        frame_ns, peak_kib = (int(v) for v in f.read().split())
    return (frame_ns - start_ns) / 1e6, peak_kib


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--shim", required=True, help="path of libfirstframe.so")
    parser.add_argument("--runs", type=int, default=20, help="measured runs of each program")
    parser.add_argument("--warm-up", type=int, default=2, help="unmeasured runs of each")
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--out", required=True, help="JSON file to write")
    parser.add_argument("programs", nargs=2, metavar="NAME=PATH")
    args = parser.parse_args()

    programs = [p.split("=", 1) for p in args.programs]
    results = {name: {"start_up_ms": [], "peak_kib": []} for name, _ in programs}
    with tempfile.TemporaryDirectory() as tmp:
        out_path = os.path.join(tmp, "firstframe")
        for round_index in range(args.warm_up + args.runs):
            order = programs if round_index % 2 == 0 else programs[::-1]
            for name, path in order:
                ms, kib = launch(os.path.abspath(path), os.path.abspath(args.shim), out_path,
                                 args.timeout)
                if round_index >= args.warm_up:
                    results[name]["start_up_ms"].append(ms)
                    results[name]["peak_kib"].append(kib)

    for name, r in results.items():
        print(f"{name}: start-up median {statistics.median(r['start_up_ms']):.1f} ms, "
              f"peak RSS median {statistics.median(r['peak_kib'])} KiB")
    with open(args.out, "w") as f:
        json.dump({"runs": args.runs, "programs": results}, f, indent=1)


if __name__ == "__main__":
    main()
