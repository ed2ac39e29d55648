#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Speed of sin_is_valid in PostgreSQL, in a throwaway cluster on build/.

One table of a million nine-digit texts, a third of them with a wrong last
digit, counted three ways: sin_is_valid(s); the same check in plain SQL (the
weighted sum with substr and arithmetic, below); and length(s) = 9, the floor
of scanning the table. Runs interleaved, with parallel query off and at the
server's default of two workers; prints the median times and the ratios.
Then 200,000 short texts (a SIN, a grouped SIN, a note, "SIN 123-456-782"):
sin_find beside regexp_matches(body, '[0-9]{9}', 'g') and sin_redact beside
regexp_replace(body, '[0-9]{3}', '***', 'g'), each run on every row.
Run it after a build:
    bench/postgresql.py [--runs N] [--rows N]
"""
import argparse
import os
import re
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)


def plain_sql_check():
    """The SIN check as a SQL function the planner inlines: digits 1, 3, 5,
    7 and 9 count as they are, the others doubled with the digits of the
    product added."""
    terms = []
    for position in range(1, 10):
        digit = f"substr(s, {position}, 1)::int"
        if position % 2 == 1:
            terms.append(digit)
        else:
            terms.append(f"(2 * {digit}) / 10 + (2 * {digit}) % 10")
    total = "\n      + ".join(terms)
    return f"""CREATE FUNCTION plain_sql_is_valid(s text) RETURNS boolean
  LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
  SELECT CASE WHEN s ~ '^[0-9]{{9}}$' THEN (
        {total}) % 10 = 0
    ELSE false END
$$;"""


QUERIES = {
    "sin_is_valid(s)": "SELECT count(*) FROM t WHERE sin_is_valid(s);",
    "plain SQL check": "SELECT count(*) FROM t WHERE plain_sql_is_valid(s);",
    "length(s) = 9 (floor)": "SELECT count(*) FROM t WHERE length(s) = 9;",
}


TEXT_QUERIES = {
    "sin_find(body)": "SELECT count(*) FROM notes, sin_find(body);",
    "regexp_matches(body, '[0-9]{9}', 'g')":
        "SELECT count(*) FROM notes, regexp_matches(body, '[0-9]{9}', 'g');",
    "sin_redact(body)": "SELECT sum(length(sin_redact(body))) FROM notes;",
    "regexp_replace(body, '[0-9]{3}', '***', 'g')":
        "SELECT sum(length(regexp_replace(body, '[0-9]{3}', '***', 'g'))) FROM notes;",
}


def psql(script):
    result = subprocess.run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", "postgres"],
                            input=script, capture_output=True, text=True, check=True)
    return result.stdout


def set_up(rows):
    psql(f"""CREATE EXTENSION mivaro;
CREATE TABLE t AS
  SELECT CASE WHEN i % 3 = 0
              THEN overlay(n::text PLACING ((right(n::text, 1)::int + 1) % 10)::text FROM 9)
              ELSE n::text END AS s
    FROM sin_generate({rows}, seed => 1) WITH ORDINALITY AS g(n, i);
VACUUM ANALYZE t;
{plain_sql_check()}""")


def timings(workers, runs, queries=QUERIES, settings=""):
    """Each query's times in milliseconds, run after run, in one session."""
    script = f"SET max_parallel_workers_per_gather = {workers};\n{settings}\\timing on\n"
    script += "".join(queries.values()) * (runs + 1)  # the first round warms the cache
    output = psql(script)
    times = [float(t) for t in re.findall(r"^Time: ([0-9.]+) ms", output, re.M)]
    counts = re.findall(r"^\s+(\d+)$", output, re.M)
    rounds = [times[i:i + len(queries)] for i in range(len(queries), len(times), len(queries))]
    return {name: [r[k] for r in rounds] for k, name in enumerate(queries)}, counts[:len(queries)]


def report_text(runs):
    psql("""CREATE TABLE notes AS
  SELECT (ARRAY['046454286', '046 454 286', 'Printer on floor 3 is jammed again.',
                'SIN 123-456-782'])[i % 4 + 1] AS body
    FROM generate_series(1, 200000) AS i;
VACUUM ANALYZE notes;""")
    # The four texts repeat, and the planner would cache regexp_matches's
    # answers by text (a Memoize node, for its estimate of ten rows a call)
    # and run it four times in all: off, each function runs on every row.
    times, counts = timings(0, runs, TEXT_QUERIES, "SET enable_memoize = off;\n")
    medians = {name: statistics.median(values) for name, values in times.items()}
    print(f"-- 200,000 short texts, parallel query and memoize off (median of {runs}):")
    for (name, median), count in zip(medians.items(), counts):
        print(f"{name:46} {median:8.1f} ms  ({count})")
    names = list(medians)
    print(f"sin_find: {medians[names[0]] / medians[names[1]]:.2f}x regexp_matches; "
          f"sin_redact: {medians[names[2]] / medians[names[3]]:.2f}x regexp_replace")


def report(workers, runs):
    times, counts = timings(workers, runs)
    medians = {name: statistics.median(values) for name, values in times.items()}
    label = "parallel query off" if workers == 0 else f"{workers} parallel workers"
    print(f"-- {label} (median of {runs}):")
    for (name, median), count in zip(medians.items(), counts):
        print(f"{name:24} {median:8.1f} ms  count {count}")
    ours = medians["sin_is_valid(s)"]
    print(f"sin_is_valid: {medians['plain SQL check'] / ours:.1f}x the plain SQL check, "
          f"{ours / medians['length(s) = 9 (floor)']:.2f}x the floor")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if not args.inside:
        cluster = os.path.join(SOURCE, "postgresql", "throwaway-cluster")
        build = os.path.join(SOURCE, "build")
        sys.exit(subprocess.call([cluster, build, sys.executable, os.path.abspath(__file__),
                                  "--inside", "--runs", str(args.runs), "--rows", str(args.rows)]))
    set_up(args.rows)
    print(f"{args.rows:,} rows of nine-digit text, a third of them not valid SINs")
    for workers in (0, 2):
        report(workers, args.runs)
    report_text(args.runs)


if __name__ == "__main__":
    main()
