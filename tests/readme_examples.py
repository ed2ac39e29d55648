#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs the mivaro-cli examples in the README and checks that each prints what
the README shows, so the examples (and the seeded outputs they pin) stay true.

In a ```console block, "$ cat FILE" followed by lines defines FILE with them;
"$ echo $?" checks the status of the command before; any other "$ " line is
run with bash, mivaro-cli first on the PATH, and its standard output and
error (CSV's CR LF read as LF) must equal the lines that follow it.
With --sql it runs each ```sql block with psql (on the server PGHOST names,
in a fresh database) and checks that psql prints the ```text block after it,
trailing blanks aside.
Usage: readme_examples.py README.md DIRECTORY-OF-MIVARO-CLI
       readme_examples.py --sql README.md
"""
import os
import re
import subprocess
import sys
import tempfile


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


def check_sql(readme):
    failures, checked = 0, 0
    for number, (script, expected) in enumerate(sql_examples(readme)):
        database = f"readme_{number}"
        subprocess.run(["createdb", database], check=True)
        run = subprocess.run(["psql", "-X", "-q", "-d", database], input=script,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        got = run.stdout.rstrip().splitlines()
        checked += 1
        if [line.rstrip() for line in got] != [line.rstrip() for line in expected]:
            failures += 1
            print("readme_examples: the README shows:\n" + "\n".join(expected) +
                  "\npsql prints:\n" + "\n".join(got))
    print(f"readme_examples: {checked - failures} of {checked} SQL examples as shown")
    return 1 if failures or not checked else 0


def main():
    if sys.argv[1] == "--sql":
        with open(sys.argv[2], encoding="utf-8") as readme:
            return check_sql(readme.read())
    readme_path, cli_dir = sys.argv[1], os.path.abspath(sys.argv[2])
    with open(readme_path, encoding="utf-8") as readme:
        text = readme.read()
    env = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ["PATH"], LC_ALL="C.UTF-8")
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
                print(f"readme_examples: $ {command}\n  README shows:\n    " +
                      "\n    ".join(expected) + "\n  the program prints:\n    " +
                      "\n    ".join(got))
    print(f"readme_examples: {checked - failures} of {checked} examples as shown")
    return 1 if failures or not checked else 0


if __name__ == "__main__":
    sys.exit(main())
