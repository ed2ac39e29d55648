# SPDX-License-Identifier: Apache-2.0
"""The Python module against the shared table of entries, mivaro-cli's
generator, its own bulk functions, bad input, and python3-stdnum."""
import glob
import json
import os
import random
import re
import subprocess
import sys

import pytest

import mivaro

TABLE = os.environ["MIVARO_ENTRY_TABLE"]
CLI = os.environ.get("MIVARO_CLI")


def unescaped(text):
    """The table's escapes undone; bytes that are not UTF-8 become lone
    surrogates, the way Python keeps them in a str."""
    raw = bytearray()
    at = 0
    while at < len(text):
        if text[at] == "\\" and at + 1 < len(text):
            kind = text[at + 1]
            if kind in "xu":
                digits = 2 if kind == "x" else 4
                code = int(text[at + 2 : at + 2 + digits], 16)
                raw += bytes([code]) if kind == "x" else chr(code).encode()
                at += 2 + digits
                continue
            raw += {"t": b"\t", "n": b"\n", "r": b"\r"}.get(kind, kind.encode())
            at += 2
            continue
        raw += text[at].encode()
        at += 1
    return raw.decode("utf-8", "surrogateescape")


def table_rows():
    with open(TABLE, encoding="utf-8") as table:
        for line in table:
            if line.startswith("#") or not line.strip("\n"):
                continue
            name, entry, number, valid, check, total, group, regions, error = (
                line.rstrip("\n").split("\t"))
            yield pytest.param(unescaped(entry), number or None, valid == "true", check or None,
                               int(total) if total else None, group or None,
                               tuple(regions.split()), error or None, id=name)


@pytest.mark.parametrize("entry,number,valid,check,total,group,regions,error", table_rows())
def test_checks_every_entry_of_the_shared_table_as_the_table_says(
        entry, number, valid, check, total, group, regions, error):
    result = mivaro.check(entry)
    assert (result.input, result.number, result.valid, result.check, result.sum, result.group,
            result.regions, result.error) == (entry, number, valid, check, total, group,
                                              regions, error)
    assert mivaro.is_valid(entry) is valid
    if valid:
        assert mivaro.validate(entry) == number
    else:
        with pytest.raises(mivaro.ValidationError) as raised:
            mivaro.validate(entry)
        assert str(raised.value) == (error or f"check sum {total} is not a multiple of 10")


@pytest.mark.parametrize("entry,exception", [
    ("1234567823", mivaro.InvalidLength),
    ("12345", mivaro.InvalidLength),
    ("", mivaro.InvalidLength),
    ("46454286", mivaro.InvalidLength),
    ("12345678a", mivaro.InvalidFormat),
    ("123 456-782", mivaro.InvalidFormat),
    ("4.6454286E+7", mivaro.InvalidFormat),
    ("1234\udc80", mivaro.InvalidFormat),
    ("123456789", mivaro.InvalidChecksum),
    ("000 000 000", mivaro.InvalidComponent),
])
def test_raises_for_each_reason_its_own_value_error(entry, exception):
    with pytest.raises(exception):
        mivaro.validate(entry)
    assert issubclass(exception, mivaro.ValidationError)
    assert issubclass(mivaro.ValidationError, ValueError)


def test_compacts_formats_and_masks():
    assert mivaro.compact(" 046-454\u00a0286 ") == "046454286"
    assert mivaro.compact("12 a") == "12a"  # judges nothing
    assert mivaro.format("046454286") == "046 454 286"
    assert mivaro.format("123-456-789", separator="-") == "123-456-789"  # an invalid check is fine
    assert mivaro.mask("046 454 286") == "*** *** 286"
    with pytest.raises(mivaro.InvalidLength):
        mivaro.format("12345")
    assert mivaro.__version__ == subprocess.run(
        [CLI, "--version"], capture_output=True, text=True, check=True).stdout.strip()


GENERATE_OPTIONS = [
    (dict(regions="QC,ON", seed=7), ["--region", "QC,ON", "--seed", "7"]),
    (dict(regions=["nb", "yt"], digits="0-9", seed=31337),
     ["--region", "nb,yt", "--digits", "0-9", "--seed", "31337"]),
    (dict(first_digit=0, unique=True, seed=5), ["--first-digit", "0", "--unique", "--seed", "5"]),
    (dict(invalid=["checksum", "length", "letters", "grouping", "zeros"], first_digit=9, seed=3),
     ["--invalid", "checksum,length,letters,grouping,zeros", "--first-digit", "9", "--seed", "3"]),
]


@pytest.mark.parametrize("options,arguments", GENERATE_OPTIONS)
def test_generates_what_mivaro_cli_generates_for_the_same_options(options, arguments):
    printed = subprocess.run([CLI, "generate", "--count", "300", *arguments],
                             capture_output=True, text=True, check=True).stdout.split("\n")[:-1]
    assert mivaro.generate(300, **options) == printed


@pytest.mark.parametrize("options", [
    dict(regions="QC", first_digit=2),
    dict(first_digit=10),
    dict(regions="QC,XX"),
    dict(invalid="typo"),
    dict(unique=True, invalid="zeros"),
    dict(digits="2-9"),
    dict(seed=-1),
])
def test_refuses_what_mivaro_cli_refuses(options):
    with pytest.raises(ValueError):
        mivaro.generate(1, **options)
    with pytest.raises(ValueError):
        mivaro.generate(0)
    with pytest.raises(ValueError):
        mivaro.generate(4_304_673, first_digit=9, unique=True)


def test_bulk_functions_say_what_the_single_ones_say():
    rng = random.Random(7)
    entries = [rng.choice(["123456782", "123 456 789", "046-454-286", "12", "x", ""])
               for _ in range(150_000)]  # more than one chunk
    assert mivaro.check_many(iter(entries)) == [mivaro.check(e) for e in entries]
    assert mivaro.is_valid_many(entries) == [mivaro.is_valid(e) for e in entries]
    numpy = pytest.importorskip("numpy")
    grid = numpy.array(entries[:12], dtype=object).reshape(3, 4)
    answer = mivaro.is_valid_many(grid)
    assert answer.dtype == numpy.bool_ and answer.shape == (3, 4)
    assert answer.tolist() == [[mivaro.is_valid(e) for e in row] for row in grid.tolist()]


@pytest.mark.parametrize("bad", [None, b"123456782", 123456782, 1.5])
def test_takes_only_str(bad):
    for function in (mivaro.is_valid, mivaro.check, mivaro.validate, mivaro.compact,
                     mivaro.format, mivaro.mask):
        with pytest.raises(TypeError):
            function(bad)
    with pytest.raises(TypeError):
        mivaro.check_many(["123456782", bad])
    with pytest.raises(TypeError):
        mivaro.is_valid_many([bad])


def test_keeps_huge_and_odd_entries_whole():
    huge = "7" * 10_000_000
    assert mivaro.check(huge).input == huge
    assert mivaro.check(huge).error == "too long"
    assert mivaro.is_valid("\udc80") is False
    result = mivaro.check("123456782")
    with pytest.raises(AttributeError):
        result.valid = False


# Where python3-stdnum's verdict differs from Mivaro's; each class is named in
# the module's docstring and docs/python.md.
def known_difference(entry):
    content = entry.strip(" \t\n\r\v\f\u00a0\u2007\u202f\ufeff\u200b\u3000")
    digits = re.sub(r"[\s\-]", "", content)
    if re.fullmatch(r"0{9}", digits) or re.fullmatch(r"'?0{3}([ ,\-\u00a0\u202f]?)0{3}\1?0{3}",
                                                     content):
        return "placeholder"
    if re.fullmatch(r"'?\d{3}([,\u202f])\d{3}\1\d{3}", content) or content.startswith("'"):
        return "spreadsheet separators and text mark"
    if re.fullmatch(r"[\d\s\-]+", content) and not re.fullmatch(r"\d{9}|\d{3}([ \-])\d{3}\1\d{3}",
                                                                content):
        return "separators out of place"
    if any(not c.isascii() and c.isdigit() for c in content):
        return "digits of other scripts"
    if any(c in "\ufeff\u200b" or (not c.isascii() and c.isspace()) for c in entry):
        return "byte-order marks and other Unicode blanks around"
    return None


def random_entry(rng):
    number = "".join(rng.choice("0123456789") for _ in range(9))
    kind = rng.randrange(10)
    if kind == 0:
        number = rng.choice(["000000000", "000 000 000", "000-000-000"])
    elif kind == 1:
        number = f"{number[:3]}{rng.choice(' -,') * 1}{number[3:6]}{rng.choice(' -,')}{number[6:]}"
    elif kind == 2:
        at = rng.randrange(1, 9)
        number = number[:at] + rng.choice([" ", "-", "  ", "--"]) + number[at:]
    elif kind == 3:
        number = number[: rng.randrange(0, 11)]
    elif kind == 4:
        number = number[:4] + rng.choice("aZ.") + number[5:]
    elif kind == 5:
        number = "".join(chr(0xFF10 + int(d)) if rng.random() < 0.3 else d for d in number)
    elif kind == 6:
        blanks = ["", " ", "\t", "\u00a0", "\ufeff", "\u202f", "\u2007", "\u3000"]
        number = rng.choice(blanks) + number + rng.choice(blanks)
    elif kind == 7:
        number = "'" + number
    return number


def test_agrees_with_python3_stdnum_but_for_the_documented_differences():
    stdnum = pytest.importorskip("stdnum.ca.sin")
    rng = random.Random(20261207)
    surprises = []
    for _ in range(200_000):
        entry = random_entry(rng)
        if mivaro.is_valid(entry) != stdnum.is_valid(entry) and known_difference(entry) is None:
            surprises.append(entry)
    assert surprises == []


def test_python_examples_of_the_docs_print_what_they_show():
    pytest.importorskip("pandas")
    source = os.environ["MIVARO_SOURCE"]
    pages = [os.path.join(source, "README.md")]
    pages += sorted(glob.glob(os.path.join(source, "docs", "*.md")))
    examples = []
    for page in pages:
        with open(page, encoding="utf-8") as text:
            examples += re.findall(r"```python\n(.*?)```\n+```text\n(.*?)```", text.read(), re.S)
    assert len(examples) >= 3
    for code, shown in examples:
        run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                             env=dict(os.environ, PYTHONPATH=os.environ.get("PYTHONPATH", "")))
        assert run.returncode == 0, run.stderr
        assert run.stdout == shown


@pytest.mark.parametrize("entry", ["\ud800", "123456782\udc80", "\udfff046 454 286"])
def test_answers_lone_surrogates_as_not_utf8(entry):
    assert mivaro.is_valid(entry) is False
    assert mivaro.check(entry).error == "not UTF-8"
    for function in (mivaro.compact, mivaro.validate, mivaro.format, mivaro.mask):
        with pytest.raises(mivaro.InvalidFormat, match="^not UTF-8$"):
            function(entry)
    assert [r.error for r in mivaro.check_many([entry, "123456782"])] == ["not UTF-8", None]
    assert mivaro.is_valid_many([entry, "123456782"]) == [False, True]
    for options in (dict(regions=entry), dict(invalid=[entry])):
        with pytest.raises(ValueError, match="not UTF-8"):
            mivaro.generate(1, **options)
    with pytest.raises(ValueError, match="^separator: not UTF-8$"):
        mivaro.mask("123456782", entry)


CORPUS = os.path.join(os.path.dirname(os.environ["MIVARO_ENTRY_TABLE"]), "scan_corpus.log")


def cli_scan(path, confidence):
    """What mivaro-cli scan finds in a file: (start index, number, confidence, keyword)."""
    lines = subprocess.run([CLI, "scan", "--json", "--unmasked", "--min-confidence", confidence,
                            path], capture_output=True, text=True).stdout.splitlines()
    data = open(path, "rb").read()
    found = []
    for line in map(json.loads, lines):
        start = len(data[:line["offset"]].decode())
        found.append((start, line["number"], line["confidence"], line["keyword"]))
    return found


@pytest.mark.parametrize("confidence", ["low", "medium", "high"])
def test_finds_what_mivaro_cli_scan_finds(confidence):
    text = open(CORPUS, encoding="utf-8").read()
    found = [(m.start, m.number, m.confidence, m.keyword) for m in mivaro.find(text, confidence)]
    assert found and found == cli_scan(CORPUS, confidence)
    for m in mivaro.find(text, confidence):
        assert re.sub(r"\D", "", text[m.start:m.end]) == m.number


def test_redacts_in_place_and_keeps_every_other_character():
    text = "Zoë — SIN: 046\u00a0454\u00a0286, id 123456782 \ud800"
    assert mivaro.redact(text) == "Zoë — SIN: ***\u00a0***\u00a0286, id ******782 \ud800"
    assert mivaro.redact(text, "high", all_digits=True).count("*") == 18
    with pytest.raises(ValueError, match="min_confidence"):
        mivaro.find(text, "sure")
    with pytest.raises(TypeError):
        mivaro.redact(b"046 454 286")


def scan_file(path):
    import mivaro as module
    found, unread = module.find_in_file(path, "low")
    assert unread == []
    return [(m["number"], m["confidence"]) for m in found]


def test_find_in_file_opens_archives_and_names_what_it_could_not_read(tmp_path):
    import gzip
    import zipfile
    packed = gzip.compress(b"id 7\nSIN: 046-454-286\n")
    with zipfile.ZipFile(tmp_path / "share.zip", "w") as share:
        share.writestr("logs/app.log.gz", packed)
        share.writestr("pay.csv", "name,SIN\nAnn,130 692 544\n")
        share.writestr("cut.gz", packed[:20])
    found, unread = mivaro.find_in_file(str(tmp_path / "share.zip"))
    path = str(tmp_path / "share.zip")
    assert [(m["container"], m["where"], m["number"], m["keyword"]) for m in found] == [
        ([path, "logs/app.log.gz"], {"line": 2, "column": 6}, "046454286", "SIN"),
        ([path, "pay.csv"], {"line": 2, "column": 5}, "130692544", "SIN"),
    ]
    assert [name for name, _ in unread] == [path + "!cut.gz"]
    with pytest.raises(FileNotFoundError):
        mivaro.find_in_file(str(tmp_path / "none.zip"))
    with pytest.raises(ValueError):
        mivaro.find_in_file(path, "certain")


def test_scans_a_folder_of_files_on_a_dask_cluster(tmp_path):
    distributed = pytest.importorskip("distributed")
    text = open(CORPUS, encoding="utf-8").read()
    paths = []
    import gzip
    for i in range(6):
        # Rotated logs: every other one compressed.
        path = tmp_path / (f"part-{i}.log.gz" if i % 2 else f"part-{i}.log")
        data = (text * (i + 1)).encode("utf-8")
        path.write_bytes(gzip.compress(data) if i % 2 else data)
        paths.append(str(path))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        results = client.gather(client.map(scan_file, paths))
    assert results == [scan_file(path) for path in paths]
    assert len(results[5]) == 6 * len(results[0]) > 0
