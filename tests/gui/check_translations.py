#!/usr/bin/env python3
"""check_translations.py LUPDATE INCLUDE_DIR TS_FILE SOURCE...

Every text of the window has a finished translation in TS_FILE, none is
left over from texts that are gone, and each translation keeps the
placeholders (%1, %2, ...) of its source. lupdate runs on a copy, so the
check leaves the source tree alone; `cmake --build build --target
update_translations` brings the file itself up to date.
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

lupdate, include, ts, *sources = sys.argv[1:]
problems = []
with tempfile.TemporaryDirectory() as tmp:
    copy = Path(tmp) / Path(ts).name
    shutil.copyfile(ts, copy)
    run = subprocess.run([lupdate, "-I", include, "-locations", "none", *sources, "-ts", str(copy)],
                         capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"check_translations: lupdate failed:\n{run.stdout}{run.stderr}")
    for context in ET.parse(copy).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            translation = message.find("translation")
            kind = translation.get("type")
            if kind == "unfinished":
                problems.append(f"{name}: not translated: {source!r}")
            elif kind in ("vanished", "obsolete"):
                problems.append(f"{name}: no longer in the code: {source!r}")
            elif sorted(set(re.findall(r"%\d", source))) != sorted(set(re.findall(r"%\d", translation.text or ""))):
                problems.append(f"{name}: placeholders differ: {source!r} -> {translation.text!r}")
for problem in problems:
    print(f"check_translations: {problem}", file=sys.stderr)
if problems:
    print(f"check_translations: {len(problems)} problems in {ts}; run the update_translations target and "
          "translate in Qt Linguist or the file itself", file=sys.stderr)
sys.exit(1 if problems else 0)
