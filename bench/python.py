#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Speed of the Python module beside python3-stdnum, on the same one million
strings (build/bench/mixed-entries.txt, which bench/cli.py makes): each
checked in a Python loop by mivaro.is_valid and by stdnum.ca.sin.is_valid,
runs interleaved, and the whole list at once by mivaro.is_valid_many. Prints
the median times and both ratios. Run it with Debian's Python after a build:
    PYTHONPATH=build/python bench/python.py [--runs N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

import mivaro
from stdnum.ca import sin


def timed(function, *args):
    start = time.perf_counter()
    function(*args)
    return time.perf_counter() - start


def loop(check, entries):
    for entry in entries:
        check(entry)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    path = os.path.join(here, "..", "build", "bench", "mixed-entries.txt")
    if not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(here, "cli.py"), "--runs", "1"], check=True,
                       stdout=subprocess.DEVNULL)
    with open(path, encoding="utf-8") as lines:
        entries = lines.read().splitlines()

    times = {"mivaro.is_valid": [], "stdnum.ca.sin.is_valid": [], "mivaro.is_valid_many": []}
    for _ in range(args.runs):  # interleaved, so the machine's load weighs on all alike
        times["mivaro.is_valid"].append(timed(loop, mivaro.is_valid, entries))
        times["stdnum.ca.sin.is_valid"].append(timed(loop, sin.is_valid, entries))
        times["mivaro.is_valid_many"].append(timed(mivaro.is_valid_many, entries))
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name, median in medians.items():
        print(f"{name:28} {median:7.3f} s for {len(entries):,} strings (median of {args.runs})")
    stdnum = medians["stdnum.ca.sin.is_valid"]
    print(f"mivaro.is_valid in a loop:   {stdnum / medians['mivaro.is_valid']:5.0f}x faster")
    print(f"mivaro.is_valid_many:        {stdnum / medians['mivaro.is_valid_many']:5.0f}x faster")


if __name__ == "__main__":
    main()
