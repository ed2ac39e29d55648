#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Speed of the Python module beside python3-stdnum, on the same one million
strings (build/bench/mixed-entries.txt, which bench/cli.py makes): each
checked in a Python loop by mivaro.is_valid and by stdnum.ca.sin.is_valid,
runs interleaved, and the whole list at once by mivaro.is_valid_many. Prints
the median times and both ratios.

Then find and redact on short strings, the way a data engineer maps them
over a column: 200,000 strings (a bare SIN, a grouped SIN, a note with no
SIN, "SIN 123-456-782"), each passed to mivaro.is_valid, mivaro.find and
mivaro.redact in a Python loop, interleaved; and the same strings joined
into one text for find. Prints nanoseconds per string and each as a multiple
of is_valid. Run it with Debian's Python after a build:
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


# The short strings of a column: one of each kind in turn.
SHORT_STRINGS = ["046454286", "046 454 286", "Printer on floor 3 is jammed again.",
                 "SIN 123-456-782"]
SHORT_COUNT = 200_000


def short_strings(runs):
    strings = [SHORT_STRINGS[i % len(SHORT_STRINGS)] for i in range(SHORT_COUNT)]
    text = "\n".join(strings)
    jobs = {
        "mivaro.is_valid": lambda: loop(mivaro.is_valid, strings),
        "mivaro.find": lambda: loop(mivaro.find, strings),
        "mivaro.redact": lambda: loop(mivaro.redact, strings),
        "mivaro.find on them joined": lambda: mivaro.find(text),
    }
    times = {name: [] for name in jobs}
    for _ in range(runs):
        for name, job in jobs.items():
            times[name].append(timed(job))
    per = {name: statistics.median(values) / SHORT_COUNT * 1e9 for name, values in times.items()}
    print(f"-- {SHORT_COUNT:,} short strings, ns per string (median of {runs}, interleaved)")
    for name, ns in per.items():
        print(f"{name:28} {ns:8.0f} ns  {ns / per['mivaro.is_valid']:5.1f}x is_valid")


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
    short_strings(args.runs)


if __name__ == "__main__":
    main()
