#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs mivaro-cli scan --sarif on files and checks the log: valid against
the SARIF 2.1.0 schema (Debian's python3-jsonschema), a result for each
finding scan --json reports, with the same fingerprint, and not one digit of
any number found, in any form.

Usage: check_sarif.py MIVARO_CLI SCHEMA FILE...
"""
import json
import subprocess
import sys

import jsonschema

cli, schema_path, files = sys.argv[1], sys.argv[2], sys.argv[3:]
sarif = subprocess.run([cli, "scan", "--sarif", "--min-confidence", "low", *files],
                       capture_output=True, text=True)
lines = subprocess.run([cli, "scan", "--json", "--unmasked", "--min-confidence", "low", *files],
                       capture_output=True, text=True)
problems = []
if sarif.returncode != 0 or lines.returncode != 0:
    problems.append(f"scan ended with {sarif.returncode} and {lines.returncode}: {sarif.stderr}")

with open(schema_path, encoding="utf-8") as schema_file:
    schema = json.load(schema_file)
log = json.loads(sarif.stdout)
validator = jsonschema.validators.validator_for(schema)(schema)
problems += [f"schema: {error.message}" for error in validator.iter_errors(log)]

found = [json.loads(line) for line in lines.stdout.splitlines()]
results = log["runs"][0]["results"]
if [r["partialFingerprints"]["mivaro/v1"] for r in results] != [f["fingerprint"] for f in found]:
    problems.append("the results are not scan --json's findings, fingerprint for fingerprint")
for number in {f["number"] for f in found}:
    # The digits whole, grouped, or a group of three after masked ones.
    groups = [number[0:3], number[3:6], number[6:9]]
    forms = [number] + [sep.join(groups) for sep in " -."] + \
            [f"*{sep}{groups[2]}" for sep in ("", " ", "-", ".")]
    problems += [f"{form!r} is in the log" for form in forms if form in sarif.stdout]
if not found:
    problems.append("nothing was found to check")

for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)
