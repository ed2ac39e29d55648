#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Fails when a source file of the tree lacks its SPDX licence line near the
top, so a new file cannot ship without saying under what terms it may be used.
Usage: licence_headers.py SOURCE-DIRECTORY
"""
import os
import sys

CHECKED = (".cpp", ".h", ".in", ".py", ".txt", ".cmake", ".sh", ".xml", ".svg", ".desktop",
           ".js", ".mjs", ".d.ts", ".css")
SCRIPTS = ("scripts", ".ci", "packaging")  # extensionless scripts live here
SKIPPED = (".git", "corpus", "node_modules")  # a fuzz corpus holds inputs, not sources
# Debian's formats for these have no comment lines; the copyright file is the
# licence statement itself. JSON has no comments either: the npm package
# states its licence in its own field.
EXEMPT = ("packaging/copyright.d", "packaging/changelog.in", "web/package/package.json.in",
          "web/site/manifest.webmanifest.in")


def sources(root):
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if d not in SKIPPED and not d.startswith("build")]
        relative = os.path.relpath(folder, root)
        for name in files:
            script = "." not in name and relative.split(os.sep)[0] in SCRIPTS
            if name.endswith(CHECKED) or script:
                yield os.path.join(folder, name)


def main():
    root = sys.argv[1]
    missing = []
    for path in sources(root):
        with open(path, encoding="utf-8", errors="replace") as file:
            head = "".join(file.readline() for _ in range(3))
        relative = os.path.relpath(path, root)
        if "SPDX-License-Identifier:" not in head and not relative.startswith(EXEMPT):
            missing.append(os.path.relpath(path, root))
    for path in sorted(missing):
        print(f"{path}: no SPDX-License-Identifier line in its first three lines")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
