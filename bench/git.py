#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""How fast mivaro-cli scan --git reads a repository's history, beside
`git log -p --all > /dev/null` on the same repository, interleaved, median
of --runs, with each one's peak memory; and the memory a SARIF log of
100,000 findings takes, beside the same findings as lines.

The repository (build/bench/history, made once with git fast-import) has
5,000 commits to 50 files of a growing application log: each commit adds
ten lines to one file and changes one, and one commit in fifty adds a SIN.

Usage: bench/git.py [--runs N] [--cli PATH]
"""
import argparse
import os
import subprocess

from files import peak_mib
from scan import BUILD
from timing import interleaved

COMMITS = 5_000
FILES = 50


def make_history(path):
    """A repository of COMMITS commits, written by git fast-import."""
    if os.path.exists(path):
        return
    subprocess.run(["git", "init", "-q", path], check=True)
    contents = {f"logs/app{n:02}.log": [] for n in range(FILES)}
    stream = []
    for commit in range(COMMITS):
        name = f"logs/app{commit % FILES:02}.log"
        lines = contents[name]
        for i in range(10):
            lines.append(f"2026-11-{commit % 28 + 1:02} 12:{i:02}:00 INFO request {commit}-{i} "
                         f"served in {commit % 97} ms for customer {100000 + commit}\n")
        if lines:
            lines[len(lines) // 2] = f"2026-11-01 edited line {commit}\n"
        if commit % 50 == 0:
            lines.append(f"2026-11-02 ERROR customer SIN 046 454 286 in ticket {commit}\n")
        data = "".join(lines).encode()
        message = f"commit {commit}".encode()
        stream.append(b"commit refs/heads/main\n")
        stream.append(f"committer Bench <bench@example.org> {1_700_000_000 + commit * 60} "
                      "+0000\n".encode())
        stream.append(f"data {len(message)}\n".encode() + message + b"\n")
        stream.append(f"M 100644 inline {name}\ndata {len(data)}\n".encode() + data + b"\n")
    subprocess.run(["git", "-C", path, "fast-import", "--quiet"], input=b"".join(stream),
                   check=True)
    subprocess.run(["git", "-C", path, "symbolic-ref", "HEAD", "refs/heads/main"], check=True)


def make_findings(path):
    """100,000 lines, each a SIN after another name (no two lines alike but
    for their digits)."""
    if os.path.exists(path):
        return
    numbers = ["046 454 286", "130 692 544", "193 456 787", "123 456 782"]
    letters = "abcdefghijklmnopqrstuvwxyz"
    with open(path, "w", encoding="utf-8") as out:
        for i in range(100_000):
            name = letters[i % 26] + letters[i // 26 % 26] + letters[i // 676 % 26]
            out.write(f"Customer {name}, SIN {numbers[i % 4]}\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cli", default=os.path.join(BUILD, "cli", "mivaro-cli"))
    args = parser.parse_args()
    repository = os.path.join(BUILD, "bench", "history")
    os.makedirs(os.path.dirname(repository), exist_ok=True)
    make_history(repository)
    cli = os.path.abspath(args.cli)
    cases = [("mivaro-cli scan --git", f"cd {repository} && {cli} scan --git >/dev/null 2>&1"),
             ("git log -p --all > /dev/null", f"git -C {repository} log -p --all >/dev/null")]
    medians = interleaved([(name, ["bash", "-c", line], None) for name, line in cases], args.runs)
    base = medians[cases[1][0]]
    print(f"-- a history of {COMMITS:,} commits")
    for name, line in cases:
        print(f"{name:44} {medians[name]:6.3f} s  {medians[name] / base:5.2f}x"
              f"  peak {peak_mib(['bash', '-c', line]):6.1f} MiB")
    print(f"{'(aim: at most 1.5x git log -p --all)':44}")
    findings = os.path.join(BUILD, "bench", "findings.txt")
    make_findings(findings)
    print("-- 100,000 findings")
    for name, option in (("mivaro-cli scan --sarif", "--sarif"), ("mivaro-cli scan", "")):
        line = f"{cli} scan {option} {findings} >/dev/null 2>&1"
        print(f"{name:44} peak {peak_mib(['bash', '-c', line]):6.1f} MiB")


if __name__ == "__main__":
    main()
