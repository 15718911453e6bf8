#!/usr/bin/python3
"""Raw job figures against the real agent and a real CUPS raw queue (VXRAWBENCH, socket backend to a
listener here): for each size, JOBS jobs one after another, each from the page's send to its
"completed" event (the agent follows the job in CUPS every 200 ms), and the time until the printer
(the listener) has the bytes; then the same bytes with `lp -o raw` until the listener has them.
Then a 100-page PDF by URL printed on the cups-pdf queue VXPDF as a document job: send to spooled,
the agent's CPU time for it, send to completed; against `lp` of the same file (return, completed); and
the same job again with an offset on the queue (the pages redrawn moved).

usage: bench.py BIN_DIR [--jobs 20]
"""
import argparse
import asyncio
import base64
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

import websockets  # noqa: E402

import harness  # noqa: E402
from test_browser import PageServer  # noqa: E402
from test_raw import Listener  # noqa: E402

QUEUE = "VXRAWBENCH"
SIZES = {"ZPL label (120 B)": 120, "ESC/POS receipt (4 KiB)": 4096, "bitmap label (1 MiB)": 1 << 20}


def ms(seconds):
    return "%.1f ms" % (seconds * 1000)


async def raw_jobs(url, payload, count, printer):
    spooled, completed = [], []
    async with websockets.connect(url, max_size=None) as ws:
        for i in range(count):
            job_id = "bench-%d" % i
            start = time.perf_counter()
            await ws.send(json.dumps({"verolux": {"jobId": job_id, "printer": QUEUE,
                                                  "raw": {"base64": base64.b64encode(payload).decode()}}}))
            arrived = None
            while True:
                m = json.loads(await ws.recv())
                if m.get("jobId") != job_id:
                    continue
                if m["state"] == "spooled":
                    spooled.append(time.perf_counter() - start)
                    printer.jobs.get(timeout=30)
                    arrived = time.perf_counter() - start
                if m["state"] in ("completed", "failed"):
                    assert m["state"] == "completed", m
                    completed.append((arrived, time.perf_counter() - start))
                    break
    return spooled, completed


def lp_jobs(payload, count, printer, work):
    path = os.path.join(work, "payload.bin")
    with open(path, "wb") as f:
        f.write(payload)
    times = []
    for _ in range(count):
        start = time.perf_counter()
        subprocess.run(["lp", "-d", QUEUE, "-o", "raw", path], check=True, capture_output=True)
        printer.jobs.get(timeout=30)
        times.append(time.perf_counter() - start)
    return times


def hundred_page_pdf(path):
    from reportlab.lib.pagesizes import A4
    from reportlab.pdfgen import canvas
    c = canvas.Canvas(path, pagesize=A4)
    for page in range(100):
        c.setFont("Helvetica", 11)
        for line in range(60):
            c.drawString(50, 800 - line * 12, "Page %d line %d: the quick brown fox jumps over the lazy dog" % (page + 1, line))
        c.showPage()
    c.save()


def wait_completed(job, timeout=300):
    deadline = time.time() + timeout
    while time.time() < deadline:
        out = subprocess.run(["lpstat", "-W", "completed", "-o", "VXPDF"], capture_output=True, text=True).stdout
        if "VXPDF-%d " % job in out:
            return
        time.sleep(0.05)
    raise RuntimeError("job %d did not complete" % job)


async def document_job(url, pdf_url, agent_pid):
    async with websockets.connect(url, max_size=None) as ws:
        start = time.perf_counter()
        cpu = harness.cpu_seconds(agent_pid)
        await ws.send(json.dumps({"verolux": {"jobId": "bench-doc", "printer": "VXPDF", "document": {"url": pdf_url},
                                              "fit": "actual"}}))
        spooled = None
        while True:
            m = json.loads(await ws.recv())
            if m.get("state") == "spooled":
                spooled = time.perf_counter() - start
                busy = harness.cpu_seconds(agent_pid) - cpu
            if m.get("state") in ("completed", "failed"):
                assert m["state"] == "completed", m
                return spooled, busy, time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--jobs", type=int, default=20)
    args = parser.parse_args()
    out_dir = harness.setup_cups("VXPDF")
    before = set(os.listdir(out_dir))
    work = tempfile.mkdtemp(prefix="verolux-bench-raw-")
    os.makedirs(os.path.join(work, "files"))
    printer = Listener(QUEUE)
    backend, agent = harness.demo_pair(args.bin_dir, work)
    try:
        url = "ws://127.0.0.1:%d/" % agent.port
        print("%d jobs per size, one after another; medians (90th percentile)" % args.jobs)
        for label, size in SIZES.items():
            payload = bytes((i * 7) & 0xFF for i in range(size))
            spooled, done = asyncio.run(raw_jobs(url, payload, args.jobs, printer))
            lp = lp_jobs(payload, args.jobs, printer, work)
            q = lambda xs: "%s (%s)" % (ms(statistics.median(xs)), ms(statistics.quantiles(xs, n=10)[-1]))
            print("%-26s send→spooled %s · send→printer has it %s · send→completed %s · lp -o raw→printer has it %s"
                  % (label, q(spooled), q([a for a, _ in done]), q([c for _, c in done]), q(lp)))
        files = PageServer(os.path.join(work, "files"))
        try:
            pdf = os.path.join(work, "files", "hundred.pdf")
            hundred_page_pdf(pdf)
            spooled, busy, completed = asyncio.run(document_job(url, files.base + "/hundred.pdf", agent.proc.pid))
            # The same with an offset on the queue: the agent redraws the pages moved before it spools.
            with open(os.path.join(agent.folder, "MyIni.ini"), "ab") as f:
                f.write(b"\r\n[PrinterOffset]\r\nVXPDF=15,-8\r\n")
            moved = asyncio.run(document_job(url, files.base + "/hundred.pdf", agent.proc.pid))
            start = time.perf_counter()
            out = subprocess.run(["lp", "-d", "VXPDF", pdf], capture_output=True, text=True, check=True).stdout
            returned = time.perf_counter() - start
            wait_completed(int(out.split("VXPDF-")[1].split()[0]))
            print("100-page PDF (%d KiB) by URL  send→spooled %s · agent CPU %s · send→completed %s · "
                  "lp: returned %s, completed %s" % (os.path.getsize(pdf) // 1024, ms(spooled), ms(busy),
                                                     ms(completed), ms(returned), ms(time.perf_counter() - start)))
            print("the same with an offset (pages redrawn at the queue's resolution)  send→spooled %s · agent CPU %s · "
                  "send→completed %s" % tuple(ms(t) for t in moved))
        finally:
            files.close()
    finally:
        agent.stop()
        backend.stop()
        printer.close()
        for name in set(os.listdir(out_dir)) - before:  # cups-pdf's output of the PDF jobs
            os.remove(os.path.join(out_dir, name))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
