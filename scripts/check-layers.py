#!/usr/bin/env python3
"""Fails when a source file includes against the allowed directions between the project's folders.

The table below is the code map of the README: each folder may include from itself and from the
folders listed for it, nothing else. Pure folders include no Qt header. Tests and benchmarks may
include anything.
"""
import re
import subprocess
import sys
from pathlib import Path

ENGINE = ["agent/reports/format", "agent/reports/barcode", "agent/reports/model", "agent/reports/layout",
          "agent/reports/cups"]

# folder: folders it may include (besides itself)
ALLOWED = {
    "common": [],
    "agent/websocket": ["common"],
    "agent/reports/encoder": ["common"],
    "agent/printing": ["common", "agent/reports/encoder"],
    "agent/reports/format": ["common"],
    "agent/reports/barcode": ["common", "agent/reports/format"],
    "agent/reports/model": ["common", "agent/reports/format"],
    "agent/reports/layout": ["common", "agent/reports/format", "agent/reports/model"],
    "agent/reports/cups": [],
    "agent/reports/engine": ["common"] + ENGINE,
    "agent/reports/viewer": ["common", "agent/reports/engine"] + ENGINE,
    "agent/reports/design": ["common", "agent/reports/engine"] + ENGINE,
    "agent/reports/designer": ["common", "agent/reports/engine", "agent/reports/viewer",
                               "agent/reports/design"] + ENGINE,
    # The one place where the report engine meets the print pipeline.
    "agent/reports/windows": ["common", "agent/printing", "agent/reports/encoder", "agent/reports/engine",
                              "agent/reports/viewer", "agent/reports/design", "agent/reports/designer"]
                             + ENGINE,
    # The desktop lists printers and follows print jobs in CUPS for the pages that ask.
    "agent/desktop": ["common", "agent/websocket", "agent/printing", "agent/reports/windows",
                      "agent/reports/cups"],
    "agent/startup": ["common", "agent/desktop", "agent/websocket", "agent/printing", "agent/reports/viewer"],
    "launcher": ["common"],
    "tools/verolux-render": ["common", "agent/reports/engine"] + ENGINE,
    "tools/verolux-designer": ["common", "agent/reports/engine", "agent/reports/viewer",
                               "agent/reports/design", "agent/reports/designer"] + ENGINE,
    "tools/screenshots": [],
    "tools/designer-screenshots": ["common", "agent/reports/engine", "agent/reports/viewer",
                                   "agent/reports/design", "agent/reports/designer", "tools/screenshots"]
                                  + ENGINE,
    "tools/viewer-screenshots": ["common", "agent/reports/engine", "agent/reports/viewer",
                                 "tools/screenshots"] + ENGINE,
    "demo/backend": ["common"],
    # The setup program's helper writes MyIni.ini by the programs' own INI rules.
    "packaging/windows": ["common"],
}

# Folders whose code is pure: no Qt, no widgets.
PURE = {"common", "agent/websocket", "agent/printing", "agent/reports/encoder", "agent/reports/format",
        "agent/reports/barcode", "agent/reports/model", "agent/reports/layout", "agent/reports/design",
        "agent/reports/cups", "launcher", "demo/backend"}

FREE = ("tests/", "bench/")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def folder_of(path):
    """The longest folder of the table that holds path."""
    best = None
    for f in ALLOWED:
        if path.startswith(f + "/") and (best is None or len(f) > len(best)):
            best = f
    return best


def main():
    root = Path(__file__).resolve().parent.parent
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "*.cpp", "*.h"], cwd=root,
                           check=True, capture_output=True, text=True).stdout.split()
    problems = []
    for path in files:
        if path.startswith(FREE) or not (root / path).exists():
            continue
        src = folder_of(path)
        if src is None:
            problems.append(f"{path}: folder missing from the code map in scripts/check-layers.py")
            continue
        for n, line in enumerate((root / path).read_text(encoding="utf-8").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, target = m.groups()
            if kind == "<":
                if src in PURE and re.match(r"Q[A-Za-z]+|Qt[A-Za-z]+/", target):
                    problems.append(f"{path}:{n}: pure code includes Qt <{target}>")
                continue
            dst = folder_of(target)
            if dst is None:
                problems.append(f'{path}:{n}: "{target}" is not under the one include root')
            elif dst != src and dst not in ALLOWED[src]:
                problems.append(f'{path}:{n}: {src} may not include {dst} ("{target}")')
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
