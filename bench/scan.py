#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""How fast and how right mivaro-cli scan is.

speed: a 256 MB application log (timestamps, request IDs, paths, a SIN in
about one line of 2000), made once from a fixed seed in build/bench/app.log,
scanned by `mivaro-cli scan -c` and by ripgrep counting nine-digit runs
(`rg -c '[0-9]{9}'`, apt-get install ripgrep), interleaved, median of --runs;
the same log through a pipe with its peak memory; and hostile shapes (one
endless run of digits, `046 454 286 ` repeated, a SIN on every line).

dense: a 128 MB log whose every line carries digits the scanner must read
(build/bench/dense.log: a bare nine-digit user ID, an eight-digit order, an
amount, an account and a phone number), scanned as above beside ripgrep.

accuracy: a labelled corpus (build/bench/corpus.json, from a fixed seed):
e-mails in English and French, logs, JSON, CSV exports and tickets, each with
one planted SIN in some form or one decoy (phone, card, date, IP, longer
number, business number, decimal, failed check sum, keyword look-alike).
Precision and recall at each confidence, beside the npm sanitizers
@cdssnc/sanitize-pii and redact-pii run on the same documents (installed
into build/bench/npm with npm, run only). An item counts as found when its
text is gone from the tool's output.

Usage: bench/scan.py [speed|dense|accuracy] [--runs N] [--cli PATH]
"""
import argparse
import json
import os
import random
import shutil
import subprocess
import sys

from timing import interleaved

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.join(HERE, "..", "build")
LOG_BYTES = 256 * 1024 * 1024
DENSE_LOG_BYTES = 128 * 1024 * 1024


def make_log(path):
    if os.path.exists(path):
        return
    rng = random.Random(20261207)
    users = ["alice", "bob", "chantal", "dmitri", "émilie", "françois"]
    sins = ["046 454 286", "123-456-782", "130692544"]
    size, lines = 0, []
    with open(path, "w", encoding="utf-8") as out:
        while size < LOG_BYTES:
            stamp = (f"2026-12-{rng.randint(1, 28):02d}T{rng.randint(0, 23):02d}:"
                     f"{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}.{rng.randint(0, 999):03d}Z")
            if rng.random() < 0.0005:
                message = f"user {rng.choice(users)} updated profile, SIN {rng.choice(sins)}"
            else:
                message = (f"request id={rng.randint(10000000, 99999999)} user={rng.choice(users)} "
                           f"path=/api/v2/orders/{rng.randint(1, 999999)} "
                           f"status={rng.choice([200, 201, 404, 500])} took {rng.randint(1, 5000)}ms")
            line = f"{stamp} {rng.choice(['INFO', 'DEBUG', 'WARN'])} [worker-{rng.randint(1, 16)}] {message}\n"
            lines.append(line)
            size += len(line.encode())
            if len(lines) == 10000:
                out.write("".join(lines))
                lines = []
        out.write("".join(lines))


def make_dense_log(path):
    """Every line carries IDs, amounts, an account and a phone number, and a
    bare nine-digit ID, a tenth of which pass the check."""
    if os.path.exists(path):
        return
    rng = random.Random(20261208)
    size, lines = 0, []
    with open(path, "w", encoding="utf-8") as out:
        while size < DENSE_LOG_BYTES:
            line = (f"2026-12-{rng.randint(1, 28):02d}T{rng.randint(0, 23):02d}:"
                    f"{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}Z INFO "
                    f"user={rng.randint(100000000, 999999999)} "
                    f"order={rng.randint(10000000, 99999999)} "
                    f"amount={rng.randint(1, 9)},{rng.randint(0, 999):03d}.{rng.randint(0, 99):02d} "
                    f"account {rng.randint(10000, 99999)}-{rng.randint(100, 999)} "
                    f"ref 555 {rng.randint(100, 999)} {rng.randint(1000, 9999)}\n")
            lines.append(line)
            size += len(line)
            if len(lines) == 10000:
                out.write("".join(lines))
                lines = []
        out.write("".join(lines))


def beside_ripgrep(cli, log, runs):
    """scan -c and scan with every match placed, beside rg -c, interleaved."""
    megabytes = os.path.getsize(log) / 1e6
    cases = [("mivaro-cli scan -c", [cli, "scan", "-c"], log),
             ("mivaro-cli scan (lines to /dev/null)", [cli, "scan"], log)]
    if shutil.which("rg"):
        cases.append(("rg -c '[0-9]{9}'", ["rg", "-c", "[0-9]{9}"], log))
    else:
        print("ripgrep yardstick skipped: apt-get install ripgrep")
    medians = interleaved(cases, runs)
    for name, _, _ in cases:
        ratio = ""
        if "rg -c '[0-9]{9}'" in medians and not name.startswith("rg"):
            ratio = f", {medians[name] / medians[cases[-1][0]]:.2f}x ripgrep's time"
        print(f"{name:40} {medians[name]:6.3f} s  {megabytes / medians[name]:6.0f} MB/s{ratio}")


def piped_peak_kib(cli, path):
    """Peak memory of scan alone, reading the file through a pipe from cat."""
    run = subprocess.run(["bash", "-c", 'cat "$1" | /usr/bin/time -f "peak %M" "$2" scan '
                          '>/dev/null 2>"$3"', "-", path, cli, path + ".time"], check=True)
    with open(path + ".time") as report:
        return max(int(line.split()[1]) for line in report if line.startswith("peak "))


def speed(args):
    log = os.path.join(BUILD, "bench", "app.log")
    make_log(log)
    print("-- a 256 MB application log, a SIN in about one line of 2000")
    beside_ripgrep(args.cli, log, args.runs)
    print(f"{'peak memory, 256 MB through a pipe':40} {piped_peak_kib(args.cli, log) / 1024:6.1f} MiB")

    shapes = os.path.join(BUILD, "bench", "shapes")
    os.makedirs(shapes, exist_ok=True)
    for name, text, repeat in [("one endless run of digits", "7", 200_000_000),
                               ("'046 454 286 ' repeated", "046 454 286 ", 4_000_000),
                               ("'SIN 046 454 286' on every line", "SIN 046 454 286\n", 4_000_000)]:
        path = os.path.join(shapes, name.replace(" ", "_").replace("'", "") + ".txt")
        if not os.path.exists(path):
            with open(path, "w") as out:
                out.write(text * repeat)
        seconds = interleaved([(name, [args.cli, "scan", "-c"], path)], 3)[name]
        size = os.path.getsize(path) / 1e6
        print(f"{name:40} {seconds:6.3f} s  {size / seconds:6.0f} MB/s ({size:.0f} MB)")


def dense(args):
    log = os.path.join(BUILD, "bench", "dense.log")
    make_dense_log(log)
    print("-- a 128 MB log with IDs, amounts, an account and a phone number on every line")
    beside_ripgrep(args.cli, log, args.runs)


# The corpus: each document holds one item, a SIN (label True) or a decoy.
SIN_NUMBERS = ["046454286", "123456782", "130692544", "193456787", "527431254", "600000008",
               "718281828", "946454281"]


def valid(digits):
    total = 0
    for i, c in enumerate(digits):
        value = int(c) * (1 if i % 2 == 0 else 2)
        total += value - 9 if value > 9 else value
    return total % 10 == 0 and total != 0


def random_sin(rng):
    while True:
        digits = str(rng.choice("1234567")) + "".join(rng.choice("0123456789") for _ in range(8))
        if valid(digits):
            return digits


def written(rng, digits, bare_allowed):
    forms = ["{} {} {}", "{}-{}-{}", "{}\u00a0{}\u00a0{}", "{}.{}.{}", "{}\u202f{}\u202f{}"]
    if bare_allowed and rng.random() < 0.4:
        return digits
    return rng.choice(forms).format(digits[:3], digits[3:6], digits[6:])


def positive(rng):
    digits = random_sin(rng)
    keyworded = rng.random() < 0.7
    number = written(rng, digits, bare_allowed=keyworded)
    templates_keyword = [
        "Hi team,\n\nMy SIN is {n}. Please update my file.\n\nThanks,\nLuc",
        "Bonjour,\n\nMon numéro d’assurance sociale est le {n}.\n\nMerci,\nÉmilie",
        "2026-12-07T10:11:12Z INFO user=kim updated profile SIN={n}",
        '{{"employee": {{"name": "Kim", "social_insurance_number": "{n}"}}}}',
        "Ticket #4411: customer pasted their S.I.N. {n} in the chat.",
        "NAS : {n} (formulaire TD1)",
        "Name,SIN,Province\nRoy,{n},QC",
        "Social Insurance No. {n}",
    ]
    templates_plain = [
        "Please call back about account holder {n} today.",
        "note: {n} was given over the phone",
        "Reference {n} / urgent",
    ]
    template = rng.choice(templates_keyword if keyworded else templates_plain)
    return template.format(n=number), number, True


def negative(rng):
    digits = random_sin(rng)
    bad = digits[:8] + str((int(digits[8]) + rng.randint(1, 9)) % 10)
    phone = "613-555-{:04d}".format(rng.randint(0, 9999))
    spaced_phone = "613 555 {:04d}".format(rng.randint(0, 9999))
    total = "1,{:03d},{:03d}.{:02d}".format(rng.randint(0, 999), rng.randint(0, 999),
                                           rng.randint(0, 99))
    ip = "10.{}.{}.{}".format(rng.randint(0, 255), rng.randint(0, 255), rng.randint(0, 255))
    long_id = "".join(rng.choice("0123456789") for _ in range(12))
    wrong = written(rng, bad, True)
    decoys = [
        (f"Call me at +1 {phone}.", phone),
        (f"Phone {spaced_phone} ext 12", spaced_phone),
        ("Card 4111 1111 1111 1111 exp 04/29", "4111 1111 1111 1111"),
        (f"Business number {digits}RT0001 on the invoice", f"{digits}RT0001"),
        (f"Order total {total} CAD", total),
        (f"ratio 0.{digits} in the report", f"0.{digits}"),
        (f"tax {digits},{rng.randint(10, 99)}", f"{digits},"),
        (f"IP {ip} blocked", ip),
        (f"Date 2026-12-07 10:11:12, id {long_id}", long_id),
        (f"My SIN is {wrong} (I may have mistyped)", wrong),
        (f"NAS {wrong}", wrong),
        ("using 046 454 289 in business", "046 454 289"),
        (f"serial {digits}{digits[:3]}", f"{digits}{digits[:3]}"),
        (f"order={digits} shipped", digits),
        ("Dummy test number 800 000 002", "800 000 002"),
    ]
    text, item = rng.choice(decoys)
    return text, item, False


def make_corpus(path, count=4000):
    if os.path.exists(path):
        return json.load(open(path, encoding="utf-8"))
    rng = random.Random(20261207)
    documents = [dict(zip(("text", "item", "sin"), positive(rng) if rng.random() < 0.5
                          else negative(rng))) for _ in range(count)]
    with open(path, "w", encoding="utf-8") as out:
        json.dump(documents, out, ensure_ascii=False)
    return documents


NPM_RUNNER = r"""
import { createRequire } from "module";
import { readFileSync } from "fs";

const require = createRequire(process.argv[2] + "/");
const documents = JSON.parse(readFileSync(process.argv[3], "utf8"));
const { sanitizePii } = require("@cdssnc/sanitize-pii");
const { SyncRedactor } = require("redact-pii");
const redactor = new SyncRedactor();
console.log(JSON.stringify({
  "@cdssnc/sanitize-pii": documents.map((d) => sanitizePii(d.text)),
  "redact-pii": documents.map((d) => redactor.redact(d.text)),
}));
"""


def npm_outputs(corpus_path):
    prefix = os.path.join(BUILD, "bench", "npm")
    modules = os.path.join(prefix, "node_modules")
    if not os.path.isdir(os.path.join(modules, "redact-pii")):
        os.makedirs(prefix, exist_ok=True)
        run = subprocess.run(["npm", "install", "--prefix", prefix, "--no-audit", "--no-fund",
                              "--ignore-scripts", "@cdssnc/sanitize-pii", "redact-pii"],
                             capture_output=True, text=True)
        if run.returncode != 0:
            print("npm yardsticks skipped: npm install failed\n" + run.stderr[-500:])
            return {}
    runner = os.path.join(prefix, "run.mjs")
    with open(runner, "w") as out:
        out.write(NPM_RUNNER)
    run = subprocess.run(["node", runner, modules, corpus_path], capture_output=True, text=True)
    if run.returncode != 0:
        print("npm yardsticks failed:\n" + run.stderr[-500:])
        return {}
    return json.loads(run.stdout)


def score(documents, outputs, as_sin):
    """Precision and recall, an item counting as found when its text is gone
    from the output and the tool said it took it for a SIN (as_sin)."""
    found = [doc["item"] not in out and as_sin(out) for doc, out in zip(documents, outputs)]
    tp = sum(1 for doc, hit in zip(documents, found) if doc["sin"] and hit)
    fp = sum(1 for doc, hit in zip(documents, found) if not doc["sin"] and hit)
    fn = sum(1 for doc, hit in zip(documents, found) if doc["sin"] and not hit)
    precision = tp / (tp + fp) if tp + fp else 1.0
    recall = tp / (tp + fn) if tp + fn else 1.0
    return precision, recall, fp, fn


# What each npm tool writes for a number it takes for a SIN: sanitize-pii
# names its patterns; redact-pii has no SIN rule, and writes DIGITS for a
# bare run of digits.
NPM_SIN_LABELS = {"@cdssnc/sanitize-pii": "[Redacted: sin]", "redact-pii": "DIGITS"}


def accuracy(args):
    sys.path.insert(0, os.path.join(BUILD, "python"))
    import mivaro
    corpus_path = os.path.join(BUILD, "bench", "corpus.json")
    documents = make_corpus(corpus_path)
    positives = sum(doc["sin"] for doc in documents)
    print(f"{len(documents)} documents: {positives} with a SIN, {len(documents) - positives} "
          f"with a decoy")
    rows = []
    for level in ("low", "medium", "high"):
        outputs = [mivaro.redact(doc["text"], level, all_digits=True) for doc in documents]
        rows.append((f"mivaro, {level} and up", *score(documents, outputs, lambda out: True)))
    for name, outputs in npm_outputs(corpus_path).items():
        label = NPM_SIN_LABELS[name]
        rows.append((name, *score(documents, outputs, lambda out, label=label: label in out)))
    print(f"{'tool':32} {'precision':>9} {'recall':>7} {'false +':>8} {'missed':>7}")
    for name, precision, recall, fp, fn in rows:
        print(f"{name:32} {precision:9.3f} {recall:7.3f} {fp:8d} {fn:7d}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("what", nargs="?", choices=["speed", "dense", "accuracy"])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cli", default=os.path.join(BUILD, "cli", "mivaro-cli"))
    args = parser.parse_args()
    os.makedirs(os.path.join(BUILD, "bench"), exist_ok=True)
    if args.what in (None, "speed"):
        speed(args)
    if args.what in (None, "dense"):
        dense(args)
    if args.what in (None, "accuracy"):
        accuracy(args)


if __name__ == "__main__":
    main()
