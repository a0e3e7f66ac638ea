#!/usr/bin/env python3
"""Refuses an include that goes up a floor.

Every source file under src/ names the folder of each project header it includes
("view/PictureView.h"). A folder may include only itself and the folders listed for it
below; a bare project include (no folder) is refused too, since it hides where the header
lives. Exit status 1 and one line per fault when anything is wrong.
"""
import os
import re
import sys

# Lowest floor first. The subsystems (doc, cutter, order, view, browser) share a floor and
# reach each other only along these edges: the view runs the cutter, serves the document and
# lays boxes on the order's photos; the print order cuts through the document; the browser
# serves the document.
ALLOWED = {
    "image": set(),
    "platform": {"image"},
    "commands": set(),
    "doc": {"image", "platform", "commands"},
    "cutter": {"image", "platform", "commands"},
    "order": {"image", "platform", "commands", "doc"},
    "view": {"image", "platform", "commands", "doc", "cutter", "order"},
    "browser": {"image", "platform", "commands", "doc"},
    "app": {"image", "platform", "commands", "doc", "cutter", "order", "view", "browser"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main() -> int:
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    faults = []
    for folder in sorted(os.listdir(root)):
        base = os.path.join(root, folder)
        if not os.path.isdir(base):
            continue
        if folder not in ALLOWED:
            faults.append(f"src/{folder}: a folder without a floor (add it to tools/check-floors.py)")
            continue
        for dirpath, _, files in os.walk(base):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, os.path.join(root, ".."))
                with open(path, encoding="utf-8") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = match.group(1).split("/")[0]
                        if "/" not in match.group(1) or target not in ALLOWED:
                            faults.append(f"{rel}:{number}: include without its folder: {match.group(1)}")
                        elif target != folder and target not in ALLOWED[folder]:
                            faults.append(f"{rel}:{number}: {folder} may not include {match.group(1)}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
