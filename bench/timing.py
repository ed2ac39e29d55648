# SPDX-License-Identifier: Apache-2.0
"""Wall times of whole commands, for the benchmark scripts beside this file."""
import os
import statistics
import subprocess
import time


def timed(command, stdin_path=None):
    """Seconds one run takes, output to /dev/null; a run that fails (status
    past 1, which says "invalid" or "nothing found") stops the benchmark."""
    with open(stdin_path or os.devnull, "rb") as stdin, open(os.devnull, "wb") as stdout:
        start = time.perf_counter()
        status = subprocess.run(command, stdin=stdin, stdout=stdout,
                                stderr=subprocess.DEVNULL).returncode
        elapsed = time.perf_counter() - start
    if status not in (0, 1):
        raise SystemExit(f"{command} failed with status {status}")
    return elapsed


def median_time(command, stdin_path, runs):
    timed(command, stdin_path)  # warm the page cache
    return statistics.median(timed(command, stdin_path) for _ in range(runs))


def interleaved(cases, runs):
    """Median times of (name, command, stdin path) cases run in turns, so that
    whatever else the machine does weighs on all of them alike."""
    times = {name: [] for name, _, _ in cases}
    for _, command, stdin_path in cases:
        timed(command, stdin_path)  # warm the page cache
    for _ in range(runs):
        for name, command, stdin_path in cases:
            times[name].append(timed(command, stdin_path))
    return {name: statistics.median(values) for name, values in times.items()}
