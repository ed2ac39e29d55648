#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the web page's French texts from the window's translation file.

usage: make_catalogue.py TS_FILE PAGE_SCRIPT OUTPUT

The output is a classic script (a page opened from disk loads no modules)
that defines MIVARO_FRENCH: {context: {English text: French text}}. Every
text the page script asks for with windowText("...") must be in the file,
finished, under the window's context, so the page can show nothing the
window's translators have not seen.
"""
import json
import re
import sys
import xml.etree.ElementTree as ElementTree

WINDOW_CONTEXT = "mivaro::ui::Form1"  # kWindowContext, where windowText() looks


def read_translations(ts_path):
    catalogue = {}
    for context in ElementTree.parse(ts_path).getroot().iter("context"):
        texts = catalogue.setdefault(context.findtext("name"), {})
        for message in context.iter("message"):
            translation = message.find("translation")
            if translation.get("type") in ("unfinished", "obsolete", "vanished"):
                continue
            texts[message.findtext("source")] = translation.text or ""
    return catalogue


def main(ts_path, script_path, output_path):
    catalogue = read_translations(ts_path)
    with open(script_path, encoding="utf-8") as script:
        asked = set(re.findall(r'windowText\("([^"]+)"\)', script.read()))
    missing = sorted(asked - catalogue.get(WINDOW_CONTEXT, {}).keys())
    if missing:
        sys.exit(f"{script_path}: no finished French for: {', '.join(missing)}")
    with open(output_path, "w", encoding="utf-8") as output:
        output.write("// Generated from the window's translation file; do not edit.\n")
        output.write("var MIVARO_FRENCH = ")
        json.dump(catalogue, output, ensure_ascii=False, sort_keys=True, indent=1)
        output.write(";\n")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
