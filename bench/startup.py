#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Start-up time and peak memory of Mivaro's window against a bare QMainWindow.

Runs build/bench/startup_probe for the window (in English, and in French as
LANG=fr_CA.UTF-8 has it), the bare baseline and a window of plain Qt controls,
interleaved, on Qt's offscreen platform, and prints the medians and the
ratios. Usage:
    bench/startup.py [--runs N] [--probe PATH]
"""
import argparse
import os
import statistics
import subprocess
import time


# What each kind runs: the probe's argument and the language it starts in.
KINDS = {
    "bare": ("bare", "C.UTF-8"),
    "controls": ("controls", "C.UTF-8"),
    "form1": ("form1", "C.UTF-8"),
    "form1-fr": ("form1", "fr_CA.UTF-8"),
}


def run_once(probe, kind):
    which, lang = KINDS[kind]
    env = {k: v for k, v in os.environ.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES")}
    env.update(QT_QPA_PLATFORM="offscreen", LANG=lang, MIVARO_SPAWN_NS=str(time.monotonic_ns()))
    process = subprocess.Popen([probe, which], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               env=env)
    output = process.stdout.read()
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        raise SystemExit(f"{probe} {which} failed with status {status}")
    return float(output.strip()), usage.ru_maxrss / 1024.0  # ms, MiB


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--probe", default=os.path.join(here, "..", "build", "bench", "startup_probe"))
    args = parser.parse_args()

    kinds = tuple(KINDS)
    results = {which: [] for which in kinds}
    for which in kinds:  # warm the page cache for all three
        run_once(args.probe, which)
    for _ in range(args.runs):
        for which in kinds:
            results[which].append(run_once(args.probe, which))

    medians = {}
    for which, samples in results.items():
        medians[which] = (statistics.median(s[0] for s in samples),
                          statistics.median(s[1] for s in samples))
        print(f"{which:9} start-up to idle {medians[which][0]:7.1f} ms   "
              f"peak memory {medians[which][1]:6.1f} MiB   (median of {args.runs})")
    for baseline in ("bare", "controls"):
        print(f"form1 / {baseline:8}  start-up {medians['form1'][0] / medians[baseline][0]:.2f}x   "
              f"peak memory {medians['form1'][1] / medians[baseline][1]:.2f}x")
    print(f"form1-fr / form1  start-up {medians['form1-fr'][0] / medians['form1'][0]:.2f}x   "
          f"peak memory {medians['form1-fr'][1] / medians['form1'][1]:.2f}x")


if __name__ == "__main__":
    main()
