# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""Every source text of the program has a finished translation in each .ts file: lupdate, run on
the sources into a copy of the file, finds nothing new and nothing unfinished, and every
translation keeps its source's placeholders (%1, %2...)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

lupdate, sources, *ts_files = sys.argv[1:]
problems = []
with tempfile.TemporaryDirectory() as work:
    for ts in ts_files:
        name = os.path.basename(ts)
        copy = os.path.join(work, name)
        shutil.copy(ts, copy)
        # The same options as the build's update_translations target.
        subprocess.run([lupdate, "-locations", "none", "-no-obsolete", sources, "-ts", copy],
                       check=True, capture_output=True)
        for context in ElementTree.parse(copy).getroot().iter("context"):
            for message in context.iter("message"):
                source = message.findtext("source")
                translation = message.find("translation")
                text = (translation.text or "") if translation is not None else ""
                where = f"{name}: {context.findtext('name')}: {source!r}"
                if translation is None or translation.get("type") == "unfinished" or not text:
                    problems.append(f"{where}: new or unfinished")
                elif sorted(re.findall(r"%\d", source)) != sorted(re.findall(r"%\d", text)):
                    problems.append(f"{where}: placeholders differ in {text!r}")
print("\n".join(problems) or f"{len(ts_files)} translation file(s) complete")
sys.exit(1 if problems else 0)
