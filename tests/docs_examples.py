#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs the examples of the README and of docs/*.md and checks that each
prints what the page shows, so the examples (and the seeded outputs they pin)
stay true.

In a ```console block, "$ cat FILE" followed by lines defines FILE with them;
"$ echo $?" checks the status of the command before; any other "$ " line is
run with bash, mivaro-cli first on the PATH, and its standard output and
error (CSV's CR LF read as LF) must equal the lines that follow it. Each
page's commands run in a folder of their own.
A ```c or ```cpp block must be, word for word, part of a program in
examples/, which tests/installed_consumers.sh builds and runs.
With --sql it runs each ```sql block with psql (on the server PGHOST names,
in a fresh database) and checks that psql prints the ```text block after it,
trailing blanks aside. (The Python and JavaScript examples are run by the
Python module's and the npm package's tests.)
Usage: docs_examples.py SOURCE-DIRECTORY DIRECTORY-OF-MIVARO-CLI
       docs_examples.py --sql SOURCE-DIRECTORY
"""
import glob
import os
import re
import subprocess
import sys
import tempfile


def pages(source):
    """The README and every page in docs/, with their text."""
    paths = [os.path.join(source, "README.md")]
    paths += sorted(glob.glob(os.path.join(source, "docs", "*.md")))
    for path in paths:
        with open(path, encoding="utf-8") as page:
            yield os.path.relpath(path, source), page.read()


def examples(readme):
    """Yields (command, expected output lines) in order, from console blocks."""
    for block in re.findall(r"```console\n(.*?)```", readme, re.S):
        command, output = None, []
        for line in block.splitlines():
            if line.startswith("$ "):
                if command is not None:
                    yield command, output
                command, output = line[2:], []
            elif line and command is not None:
                output.append(line)
        if command is not None:
            yield command, output


def sql_examples(readme):
    """Yields (script, expected output lines) for each ```sql block followed
    by a ```text block."""
    for script, output in re.findall(r"```sql\n(.*?)```\s*```text\n(.*?)```", readme, re.S):
        yield script, output.splitlines()


def check_sql(source):
    failures, checked = 0, 0
    examples = [example for _, text in pages(source) for example in sql_examples(text)]
    for number, (script, expected) in enumerate(examples):
        database = f"docs_{number}"
        subprocess.run(["createdb", database], check=True)
        run = subprocess.run(["psql", "-X", "-q", "-d", database], input=script,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        got = run.stdout.rstrip().splitlines()
        checked += 1
        if [line.rstrip() for line in got] != [line.rstrip() for line in expected]:
            failures += 1
            print("docs_examples: the page shows:\n" + "\n".join(expected) +
                  "\npsql prints:\n" + "\n".join(got))
    print(f"docs_examples: {checked - failures} of {checked} SQL examples as shown")
    return 1 if failures or not checked else 0


def check_programs(source, name, text):
    """Counts the C and C++ blocks of a page that are not part of a program in
    examples/, and says which."""
    programs = []
    for path in glob.glob(os.path.join(source, "examples", "**", "*.c*"), recursive=True):
        with open(path, encoding="utf-8") as program:
            programs.append(program.read())
    failures = 0
    for block in re.findall(r"```(?:c|cpp)\n(.*?)```", text, re.S):
        if not any(block in program for program in programs):
            failures += 1
            print(f"docs_examples: {name}: this program is in no file of examples/:\n{block}")
    return failures


def check_console(name, text, env):
    """Runs a page's console examples; returns (checked, failures)."""
    failures, checked, status = 0, 0, None
    with tempfile.TemporaryDirectory() as work:
        for command, expected in examples(text):
            if command.startswith("cat "):
                with open(os.path.join(work, command[4:]), "w", encoding="utf-8") as file:
                    file.write("".join(line + "\n" for line in expected))
                continue
            if command == "echo $?":
                got = [str(status)]
            else:
                run = subprocess.run(["bash", "-c", command + " 2>&1"], cwd=work, env=env,
                                     capture_output=True)
                status = run.returncode
                got = run.stdout.decode("utf-8").replace("\r\n", "\n").splitlines()
            checked += 1
            if got != expected:
                failures += 1
                print(f"docs_examples: {name}: $ {command}\n  the page shows:\n    " +
                      "\n    ".join(expected) + "\n  the program prints:\n    " +
                      "\n    ".join(got))
    return checked, failures


def main():
    if sys.argv[1] == "--sql":
        return check_sql(sys.argv[2])
    source, cli_dir = sys.argv[1], os.path.abspath(sys.argv[2])
    env = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ["PATH"], LC_ALL="C.UTF-8")
    failures, checked = 0, 0
    for name, text in pages(source):
        page_checked, page_failures = check_console(name, text, env)
        checked += page_checked
        failures += page_failures + check_programs(source, name, text)
    print(f"docs_examples: {checked - failures} of {checked} examples as shown")
    return 1 if failures or not checked else 0


if __name__ == "__main__":
    sys.exit(main())
