#!/usr/bin/python3
"""Figures of the Windows print path under Wine (no assertions): a 10-page report printed through
PrintReportTo to the cups-pdf queue; time in PrintReportTo, the job's size as CUPS received it
(Wine's PostScript), per page. Same environment as test_spool.py (run it through run.sh --figures).
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_spool import REQUEST, TEMPLATE, tool, win_path  # noqa: E402

OUT = "/root/PDF"


def job_size(title):
    """The id and size of the job named `title`: cups-pdf names its file "<title>…job_<id>.pdf"."""
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        names = [n for n in os.listdir(OUT) if n.startswith(title)]
        if names and not subprocess.run(["lpstat", "-o", "VXPDF"], capture_output=True, text=True).stdout.strip():
            job = re.search(r"job_(\d+)\.pdf$", names[0]).group(1)
            for name in names:
                os.remove(os.path.join(OUT, name))
            out = subprocess.run(["lpstat", "-W", "completed", "-o", "VXPDF"], capture_output=True, text=True).stdout
            for line in out.splitlines():
                if line.startswith("VXPDF-%s " % job):
                    return job, int(line.split()[2])
            return job, 0
        time.sleep(0.2)
    raise RuntimeError("no output for " + title)


def main():
    with open(REQUEST, encoding="utf-8") as f:
        request = json.load(f)
    rows = request["repdata"]
    work = tempfile.mkdtemp(prefix="vx-spool-fig-")
    path = os.path.join(work, "request.json")
    pages, count = 0, len(rows)
    while pages < 10:
        request["repdata"] = (rows * (count // len(rows) + 1))[:count]
        with open(path, "w", encoding="utf-8") as f:
            json.dump(request, f, ensure_ascii=False)
        pages = int(tool("pages", win_path(TEMPLATE), win_path(path))[1].split()[1])
        count += len(rows) // 2
    for label, extra in (("colour", []), ("grey", ["--gray"])):
        title = "vxspool-fig-%d-%s" % (os.getpid(), label)
        start = time.monotonic()
        out = tool("report", "VXPDF", win_path(TEMPLATE), win_path(path), title, *extra)[1].split()
        wall = time.monotonic() - start
        job, size = job_size(title)
        print("%s: %s pages, PrintReportTo %s ms, process %.1f s, CUPS job %s received %.2f MB (%.2f MB/page)"
              % (label, out[3], out[5], wall, job, size / 1e6, size / 1e6 / int(out[3])))

if __name__ == "__main__":
    main()
