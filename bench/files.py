#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""How fast mivaro-cli scan reads the files it opens, beside the tools that
only unpack them, interleaved, median of --runs, with each one's peak memory.

gzip: scan.py's 256 MB application log, gzipped (build/bench/app.log.gz),
scanned by `mivaro-cli scan -c`, beside `zcat FILE > /dev/null` and
`rg -z -c '[0-9]{9}'` (apt-get install ripgrep).

zip: 10,000 small text files zipped (build/bench/many.zip), beside
`unzip -p FILE > /dev/null`.

xlsx: a workbook of a million cells, 100,000 rows of ten (build/bench/
million.xlsx, written by openpyxl), beside `unzip -p` of its sheet's XML.

Usage: bench/files.py [--runs N] [--cli PATH]   (Debian's python3, for openpyxl)
"""
import argparse
import gzip
import os
import shutil
import subprocess
import zipfile

from scan import BUILD, make_log
from timing import interleaved


def make_gzip(path):
    if not os.path.exists(path):
        log = path[: -len(".gz")]
        make_log(log)
        with open(log, "rb") as source, gzip.open(path, "wb", compresslevel=6) as out:
            shutil.copyfileobj(source, out, 1 << 20)


def make_zip(path):
    if os.path.exists(path):
        return
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for i in range(10_000):
            archive.writestr(f"tickets/{i:05}.txt",
                             f"ticket {i}: call 613-555-0199 about order {100000000 + i}\n")


def make_workbook(path):
    if os.path.exists(path):
        return
    import openpyxl
    book = openpyxl.Workbook(write_only=True)
    sheet = book.create_sheet("Data")
    sheet.append(["id", "name", "amount", "code"] + [f"c{i}" for i in range(6)])
    for row in range(100_000):
        sheet.append([row, f"name {row}", row * 1.5, 100000000 + row] +
                     [row + i for i in range(6)])
    book.save(path)


def peak_mib(command):
    """Peak memory of one run, from GNU time."""
    run = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    return int(run.stderr.strip().splitlines()[-1]) / 1024


def compare(title, cases, runs, limit):
    """Runs the cases in turns; the first is mivaro's, the second the yardstick
    limit is a multiple of."""
    print(f"-- {title}")
    medians = interleaved([(name, ["bash", "-c", line], None) for name, line in cases], runs)
    base = medians[cases[1][0]]
    for name, line in cases:
        print(f"{name:44} {medians[name]:6.3f} s  {medians[name] / base:5.2f}x"
              f"  peak {peak_mib(['bash', '-c', line]):6.1f} MiB")
    print(f"{'(aim: at most ' + str(limit) + 'x ' + cases[1][0] + ')':44}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cli", default=os.path.join(BUILD, "cli", "mivaro-cli"))
    args = parser.parse_args()
    folder = os.path.join(BUILD, "bench")
    os.makedirs(folder, exist_ok=True)
    log, archive, book = (os.path.join(folder, name)
                          for name in ("app.log.gz", "many.zip", "million.xlsx"))
    make_gzip(log)
    make_zip(archive)
    make_workbook(book)
    cli = args.cli
    gz_cases = [("mivaro-cli scan -c", f"{cli} scan -c {log} >/dev/null 2>&1"),
                ("zcat > /dev/null", f"zcat {log} >/dev/null")]
    if shutil.which("rg"):
        gz_cases.append(("rg -z -c '[0-9]{9}'", f"rg -z -c '[0-9]{{9}}' {log} >/dev/null"))
    compare("a 256 MB log, gzipped", gz_cases, args.runs, 1.3)
    compare("a zip of 10,000 small text files",
            [("mivaro-cli scan", f"{cli} scan {archive} >/dev/null 2>&1"),
             ("unzip -p > /dev/null", f"unzip -p {archive} >/dev/null")], args.runs, 1.5)
    compare("an .xlsx of a million cells",
            [("mivaro-cli scan", f"{cli} scan {book} >/dev/null 2>&1"),
             ("unzip -p of its sheet's XML",
              f"unzip -p {book} xl/worksheets/sheet1.xml >/dev/null")], args.runs, 2)


if __name__ == "__main__":
    main()
