#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Bulk speed of mivaro-cli: validate a file of one million mixed entries and
generate one million numbers, both to /dev/null.

The entries are made once, from a fixed seed, in build/bench/mixed-entries.txt:
60% bare nine digits, 10% spaced groups, 10% dashed groups, 10% too short,
10% with a letter. Prints the median wall time of several runs.

As a yardstick it times Debian's python3-stdnum checking the same file
(stdnum.ca.sin.is_valid on every line, in Debian's own Python), when that
package is installed, and prints how many times faster validate is.

As the floor for validate it times bench/minimal_validate.c, the least a C
program can do for the same job (read lines, check each with the library,
write one text record per line), interleaved with validate in text, JSON and
CSV, and prints each as a multiple of it. The entries with Unicode blanks
and separators are timed interleaved with their ASCII twins in the same way.

It also annotates a payroll-like table of one million rows and six columns
(build/bench/payroll.csv: quoted names, a SIN column of the same mix, dates,
notes with commas and quotes), beside the time Python's csv module takes just
to copy the same table. Usage:
    bench/cli.py [--runs N] [--cli PATH]
"""
import argparse
import csv
import os
import random
import statistics
import subprocess
import sys

from timing import interleaved, median_time, timed

ENTRIES = 1_000_000


def make_entries(path):
    if os.path.exists(path):
        return
    rng = random.Random(20261207)
    lines = []
    for _ in range(ENTRIES):
        kind = rng.random()
        digits = "".join(rng.choice("0123456789") for _ in range(9))
        if kind < 0.6:
            lines.append(digits)
        elif kind < 0.7:
            lines.append(f"{digits[:3]} {digits[3:6]} {digits[6:]}")
        elif kind < 0.8:
            lines.append(f"{digits[:3]}-{digits[3:6]}-{digits[6:]}")
        elif kind < 0.9:
            lines.append(digits[: rng.randint(0, 8)])
        else:
            lines.append(digits[:5] + "x" + digits[6:])
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


# Blanks and separators as spreadsheets leave them: no-break and narrow
# no-break spaces between the groups, a no-break space or a byte-order mark
# around. The ASCII twin has the same shape with plain spaces.
UNICODE_SEPARATORS = ["\u00a0", "\u202f"]
UNICODE_BLANKS = ["\u00a0", "\ufeff", "\u2007", ""]


def make_spreadsheet_entries(ascii_path, unicode_path):
    if os.path.exists(ascii_path) and os.path.exists(unicode_path):
        return
    rng = random.Random(20261209)
    plain, fancy = [], []
    for _ in range(ENTRIES):
        digits = "".join(rng.choice("0123456789") for _ in range(9))
        groups = (digits[:3], digits[3:6], digits[6:])
        separator, before, after = (rng.choice(UNICODE_SEPARATORS), rng.choice(UNICODE_BLANKS),
                                    rng.choice(UNICODE_BLANKS))
        fancy.append(before + separator.join(groups) + after)
        plain.append(" " * len(before) + " ".join(groups) + " " * len(after))
    for path, lines in ((ascii_path, plain), (unicode_path, fancy)):
        with open(path, "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")


def make_cell_entries(ascii_path, unicode_path):
    """Cells as a spreadsheet copied them: a no-break space before, a
    zero-width space after, no-break or narrow no-break spaces between the
    groups; the ASCII twin is the bare grouped number."""
    if os.path.exists(ascii_path) and os.path.exists(unicode_path):
        return
    rng = random.Random(20261210)
    plain, fancy = [], []
    for _ in range(ENTRIES):
        digits = "".join(rng.choice("0123456789") for _ in range(9))
        groups = (digits[:3], digits[3:6], digits[6:])
        fancy.append("\u00a0" + rng.choice(UNICODE_SEPARATORS).join(groups) + "\u200b")
        plain.append(" ".join(groups))
    for path, lines in ((ascii_path, plain), (unicode_path, fancy)):
        with open(path, "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")


def make_table(path):
    if os.path.exists(path):
        return
    rng = random.Random(20261208)
    names = ["Tremblay", "Gagnon", "Roy", "O'Brien", "Nguyen", "Smith, Jr.", "Côté", "Lee"]
    with open(path, "w", newline="") as out:
        writer = csv.writer(out, lineterminator="\r\n")
        writer.writerow(["Employee ID", "Name", "SIN", "Province", "Hire date", "Notes"])
        for row in range(ENTRIES):
            digits = "".join(rng.choice("0123456789") for _ in range(9))
            kind = rng.random()
            sin = (digits if kind < 0.6 else f"{digits[:3]} {digits[3:6]} {digits[6:]}"
                   if kind < 0.8 else digits[:5])
            note = rng.choice(["", "moved, then returned", 'said "part time"', "ok"])
            writer.writerow([100000 + row, rng.choice(names), sin, rng.choice(["QC", "ON", "NS"]),
                             f"20{rng.randint(10, 25)}-0{rng.randint(1, 9)}-1{rng.randint(0, 9)}",
                             note])


COPY_TABLE = (
    "import csv, sys\n"
    "csv.writer(sys.stdout, lineterminator='\\r\\n').writerows(csv.reader(sys.stdin))\n"
)

# Debian's python3-stdnum lives in Debian's own Python, whatever python3 is
# first on the PATH.
SYSTEM_PYTHON = "/usr/bin/python3"
STDNUM_VALIDATE = (
    "import sys\n"
    "from stdnum.ca import sin\n"
    "valid = sum(1 for line in sys.stdin if sin.is_valid(line.rstrip('\\r\\n')))\n"
    "print(valid)\n"
)


def compare_twins(args, build, what, ascii_name, unicode_name, unicode_one, ascii_one, make, stem):
    """Times validate on a million entries with Unicode blanks or separators,
    interleaved with their ASCII twins, and prints the cost of one of each."""
    ascii_path = os.path.join(build, "bench", f"{stem}-ascii.txt")
    unicode_path = os.path.join(build, "bench", f"{stem}-unicode.txt")
    make(ascii_path, unicode_path)
    times = interleaved([
        ("ASCII", [args.cli, "validate"], ascii_path),
        ("Unicode", [args.cli, "validate"], unicode_path),
    ], args.runs)
    ascii_cost = times["ASCII"] / ENTRIES * 1e9
    unicode_cost = times["Unicode"] / ENTRIES * 1e9
    print(f"{'validate 1M ' + what + ', ' + ascii_name:42} {times['ASCII']:6.3f} s")
    print(f"{'validate 1M ' + what + ', ' + unicode_name:42} {times['Unicode']:6.3f} s")
    print(f"{unicode_one:42} {unicode_cost:6.0f} ns, "
          f"{unicode_cost / ascii_cost:.2f}x {ascii_one} ({ascii_cost:.0f} ns, interleaved)")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.join(here, "..", "build")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--cli", default=os.path.join(build, "cli", "mivaro-cli"))
    parser.add_argument("--floor", default=os.path.join(build, "bench", "minimal_validate"))
    args = parser.parse_args()

    entries = os.path.join(build, "bench", "mixed-entries.txt")
    make_entries(entries)
    cases = [
        ("validate 1M mixed entries, text", [args.cli, "validate"], entries),
        ("validate 1M mixed entries, --json", [args.cli, "validate", "--json"], entries),
        ("generate --count 1000000", [args.cli, "generate", "--count", str(ENTRIES)], None),
        ("generate --unique --count 1000000",
         [args.cli, "generate", "--unique", "--count", str(ENTRIES)], None),
        ("generate --digits 0-9 --count 1000000",
         [args.cli, "generate", "--digits", "0-9", "--count", str(ENTRIES)], None),
    ]
    table = os.path.join(build, "bench", "payroll.csv")
    make_table(table)
    cases += [
        ("annotate 1M rows, 6 columns", [args.cli, "annotate"], table),
        ("python csv module copying the same table", [sys.executable, "-c", COPY_TABLE], table),
    ]
    medians = {}
    for name, command, stdin_path in cases:
        medians[name] = median_time(command, stdin_path, args.runs)
        print(f"{name:42} {medians[name]:6.3f} s  (median of {args.runs})")

    floor_cases = [
        ("minimal C loop, 1M mixed entries", [args.floor], entries),
        ("validate 1M mixed entries, text", [args.cli, "validate"], entries),
        ("validate 1M mixed entries, --json", [args.cli, "validate", "--json"], entries),
        ("validate 1M mixed entries, --csv", [args.cli, "validate", "--csv"], entries),
    ]
    floor = interleaved(floor_cases, args.runs)
    for name, _, _ in floor_cases:
        print(f"{name:42} {floor[name]:6.3f} s, "
              f"{floor[name] / floor[floor_cases[0][0]]:.2f}x the minimal loop (interleaved)")

    compare_twins(args, build, "grouped entries", "ASCII blanks", "Unicode blanks",
                  "an entry with Unicode blanks and separators", "an ASCII one",
                  make_spreadsheet_entries, "spreadsheet")
    compare_twins(args, build, "cells 046 454 286", "ASCII", "NBSP before, ZWSP after",
                  "a cell with NBSP before and ZWSP after", "its ASCII twin",
                  make_cell_entries, "cells")

    if subprocess.run([SYSTEM_PYTHON, "-c", "import stdnum.ca.sin"],
                      stderr=subprocess.DEVNULL).returncode != 0:
        print("python3-stdnum yardstick skipped: apt-get install python3-stdnum")
        return
    # Interleaved, so that whatever else the machine does weighs on both sides
    # of the ratio alike.
    validates = [cases[0], cases[1]]
    rounds = max(3, args.runs // 2)
    times = {name: [] for name, _, _ in validates}
    times["stdnum"] = []
    for _ in range(rounds):
        for name, command, stdin_path in validates:
            times[name].append(timed(command, stdin_path))
        times["stdnum"].append(timed([SYSTEM_PYTHON, "-c", STDNUM_VALIDATE], entries))
    stdnum = statistics.median(times["stdnum"])
    print(f"{'python3-stdnum is_valid, same entries':42} {stdnum:6.3f} s  (median of {rounds})")
    for name, _, _ in validates:
        ours = statistics.median(times[name])
        print(f"{name:42} {ours:6.3f} s, {stdnum / ours:4.0f}x faster than python3-stdnum "
              f"(median of {rounds}, interleaved)")


if __name__ == "__main__":
    main()
