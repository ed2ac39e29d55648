#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""sin_find in PostgreSQL finds in a text what mivaro-cli scan finds, at
every confidence: the same numbers, confidences and places (start and length
in characters, counted from 1). Runs inside a throwaway cluster (PGHOST set).
Usage: scan_agreement.py MIVARO-CLI CORPUS"""
import base64
import json
import subprocess
import sys


def cli_matches(cli, corpus, confidence):
    data = open(corpus, "rb").read()
    lines = subprocess.run([cli, "scan", "--json", "--unmasked", "--min-confidence", confidence,
                            corpus], capture_output=True, text=True).stdout.splitlines()
    found = []
    for match in map(json.loads, lines):
        start = len(data[:match["offset"]].decode()) + 1
        length = len(data[match["offset"]:match["offset"] + match["length"]].decode())
        found.append(f"{start}|{length}|{match['number']}|{match['confidence']}")
    return found


def sql_matches(corpus, confidence):
    encoded = base64.b64encode(open(corpus, "rb").read()).decode()
    query = (f"SELECT start, length, sin, confidence FROM sin_find(convert_from(decode("
             f"'{encoded}', 'base64'), 'UTF8'), '{confidence}');")
    return subprocess.run(["psql", "-X", "-At", "-v", "ON_ERROR_STOP=1", "-d", "postgres", "-c",
                           query], capture_output=True, text=True, check=True).stdout.splitlines()


def main():
    cli, corpus = sys.argv[1:3]
    subprocess.run(["psql", "-X", "-q", "-d", "postgres", "-c", "CREATE EXTENSION mivaro"],
                   check=True)
    for confidence in ("low", "medium", "high"):
        expected, found = cli_matches(cli, corpus, confidence), sql_matches(corpus, confidence)
        if not expected or found != expected:
            sys.exit(f"{confidence}: mivaro-cli scan found\n{expected}\nsin_find found\n{found}")
        print(f"{confidence}: {len(found)} matches, the same")


if __name__ == "__main__":
    main()
