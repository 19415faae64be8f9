#!/usr/bin/env python3
"""Fails when the program uses a text key that has no English text.

lupdate finds every key in the sources (QCoreApplication::translate with a
literal key, QT_TRANSLATE_NOOP for keys kept in tables); each must have a
non-empty, finished English text in one of the "<area>_en.ts" files. One key
with two different English texts in two areas also fails: which one showed
would depend on the order the files are loaded in.
"""

import argparse
import glob
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def messages(ts_path):
    """(context, key) -> English text or None, for every message of a .ts file."""
    found = {}
    root = ET.parse(ts_path).getroot()
    for context in root.iter("context"):
        name = context.findtext("name", default="")
        for message in context.iter("message"):
            key = message.findtext("source", default="")
            translation = message.find("translation")
            text = None
            if translation is not None and translation.get("type") not in ("unfinished", "vanished", "obsolete"):
                text = (translation.text or "").strip() or None
            found[(name, key)] = text
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lupdate", required=True)
    parser.add_argument("--ts-dir", required=True)
    parser.add_argument("sources", nargs="+")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        extracted = os.path.join(work, "used.ts")
        run = subprocess.run(
            [args.lupdate, "-silent", "-locations", "none", "-extensions", "cpp,h", *args.sources, "-ts", extracted],
            capture_output=True, text=True)
        if run.returncode != 0 or not os.path.exists(extracted):
            print("lupdate failed:", run.stdout, run.stderr, file=sys.stderr)
            return 2
        used = set(messages(extracted))

    texts = {}
    problems = []
    files = sorted(glob.glob(os.path.join(args.ts_dir, "*_en.ts")))
    if not files:
        problems.append(f"no English text files (*_en.ts) in {args.ts_dir}")
    for path in files:
        area = os.path.basename(path)
        for key, text in messages(path).items():
            if text is None:
                continue
            if key in texts and texts[key][1] != text:
                problems.append(f"{key[0]}/{key[1]}: two English texts, in {texts[key][0]} and {area}")
            texts.setdefault(key, (area, text))

    missing = sorted(used - set(texts))
    for context, key in missing:
        problems.append(f"{context}/{key}: used by the program, no English text in any *_en.ts")
    unused = sorted(set(texts) - used)
    for context, key in unused:
        print(f"note: {context}/{key} has a text but no use was found", file=sys.stderr)

    print(f"{len(used)} keys used, {len(texts)} English texts in {len(files)} files")
    for problem in problems:
        print("error:", problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
