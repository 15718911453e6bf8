#!/usr/bin/python3
"""Raw job figures against the real agent and a real CUPS raw queue (VXRAWBENCH, socket backend to a
listener here): for each size, JOBS jobs one after another, each from the page's send to its
"completed" event (the agent follows the job in CUPS every 200 ms), and the time until the printer
(the listener) has the bytes; then the same bytes with `lp -o raw` until the listener has them.

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

from backendproc import Backend  # noqa: E402
import harness  # noqa: E402
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--jobs", type=int, default=20)
    args = parser.parse_args()
    harness.BIN_DIR = args.bin_dir
    harness.setup_cups("VXPDF")
    work = tempfile.mkdtemp(prefix="verolux-bench-raw-")
    printer = Listener()
    subprocess.run(["lpadmin", "-p", QUEUE, "-E", "-v", "socket://127.0.0.1:%d" % printer.port], check=True,
                   capture_output=True)
    backend = Backend(os.path.join(args.bin_dir, "verolux-demo-backend"), os.path.join(work, "backend"))
    folder = harness.make_program_folder(os.path.join(work, "agent"), backend)
    agent = harness.AgentRun(folder, harness.free_port(), None, os.path.join(work, "agent.stderr"))
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
    finally:
        agent.stop()
        backend.stop()
        subprocess.run(["lpadmin", "-x", QUEUE], capture_output=True)
        printer.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
