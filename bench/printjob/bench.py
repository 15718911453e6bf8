#!/usr/bin/python3
"""How long a silent print keeps the agent busy, next to the PDF export of the same rows.

usage: bench.py BIN_DIR [--runs 3] [--rows 10,1000,10000,32767] [--queue VXPDF_BENCH]
A WebSocket client sends a print request (or a PDF request) as a job and times it until the job's
"spooled" (or "uploaded") event: the agent carries out one request at a time, so that is the time it
keeps the next request waiting. The print goes to a CUPS queue that accepts jobs but is stopped: the
job is spooled as the agent would spool it, and Ghostscript in the cups-pdf backend does not compete
for the CPU while the next run is timed. Jobs are cancelled and the queue started again at the end.
Needs root (CUPS setup); run under `flock /tmp/verolux-cups.lock`.
"""
import argparse
import asyncio
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

TARGETS_MS = {10000: 300, 32767: 1000}


def cpu_ms(pid):
    """CPU time of all the process's threads so far (the PDF writer compresses on a second thread)."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except OSError:
            pass  # a thread that just ended
    return total / 1e6


def queued_jobs(queue):
    out = subprocess.run(["lpstat", "-o", queue], capture_output=True, text=True).stdout
    return len(out.splitlines())


class Bench:
    def __init__(self, bin_dir, work, queue):
        self.queue = queue
        self.backend, self.agent = harness.demo_pair(bin_dir, work)

    def stop(self):
        self.agent.stop()
        self.backend.stop()

    def request_text(self, preview, rows):
        request = harness.make_request(self.backend, "orders.grf", preview=preview, rows=rows,
                                       printer=self.queue, company="Bench Co.")
        return json.dumps(request, ensure_ascii=False)

    async def busy(self, ws, text):
        """Milliseconds from sending the request until its job is spooled or uploaded, and the agent's
        CPU milliseconds in that time."""
        self.seq = getattr(self, "seq", 0) + 1
        job_id = "bench-%d" % self.seq
        request = json.loads(text)
        request["verolux"] = {"jobId": job_id}
        cpu = cpu_ms(self.agent.proc.pid)
        start = time.perf_counter()
        await ws.send(json.dumps(request, ensure_ascii=False))
        while True:
            event = json.loads(await asyncio.wait_for(ws.recv(), 120))
            if event.get("jobId") != job_id:
                continue
            if event.get("state") == "failed":
                raise RuntimeError("job failed: %r" % event)
            if event.get("state") in ("spooled", "uploaded"):
                return (time.perf_counter() - start) * 1000.0, cpu_ms(self.agent.proc.pid) - cpu

    async def run(self, row_counts, runs):
        results = {}
        async with websockets.connect("ws://127.0.0.1:%d/" % self.agent.port, compression=None,
                                      max_size=None, ping_interval=None) as ws:
            await self.busy(ws, self.request_text("2", harness.order_rows(10)))  # fetches the template
            for count in row_counts:
                rows = harness.order_rows(count, prefix="B")
                row = {}
                for kind, preview in (("print", ""), ("pdf", "2")):
                    text = self.request_text(preview, rows)
                    before = queued_jobs(self.queue)
                    await self.busy(ws, text)  # warm-up, not counted
                    times = [await self.busy(ws, text) for _ in range(runs)]
                    if kind == "print" and queued_jobs(self.queue) != before + runs + 1:
                        raise RuntimeError("the print jobs did not all reach %s" % self.queue)
                    row[kind] = times
                subprocess.run(["cancel", "-a", self.queue], check=False)
                results[count] = row
        return results


def setup_queue(queue):
    setup = os.path.join(HERE, "..", "..", "tests", "support", "cups_setup.sh")
    if subprocess.run([setup, queue], stdout=subprocess.DEVNULL).returncode != 0:
        sys.exit("bench.py: no CUPS queue %s (needs root, cups and printer-driver-cups-pdf)" % queue)
    subprocess.run(["cupsdisable", queue], check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--rows", default="10,1000,10000,32767")
    parser.add_argument("--queue", default="VXPDF_BENCH")
    args = parser.parse_args()

    setup_queue(args.queue)
    work = tempfile.mkdtemp(prefix="verolux-bench-")
    bench = Bench(os.path.abspath(args.bin_dir), work, args.queue)
    try:
        results = asyncio.run(bench.run([int(x) for x in args.rows.split(",")], args.runs))
    finally:
        bench.stop()
        subprocess.run(["cancel", "-a", args.queue], check=False)
        subprocess.run(["cupsenable", args.queue], check=False)
        shutil.rmtree(work, ignore_errors=True)

    print("agent busy: request sent -> its job spooled or uploaded (median of %d runs, after one warm-up);"
          % args.runs)
    print("cpu: the agent's CPU time meanwhile, all threads (less sensitive to a busy machine)")
    print("%8s %10s %10s %12s %12s %8s  %s" % ("rows", "print ms", "cpu ms", "PDF ms", "cpu ms", "ratio",
                                              "target (print)"))
    for count, row in results.items():
        printed = statistics.median(t for t, _ in row["print"])
        exported = statistics.median(t for t, _ in row["pdf"])
        target = TARGETS_MS.get(count)
        verdict = ""
        if target:
            verdict = "<= %d ms: %s (%.2fx)" % (target, "met" if printed <= target else "MISSED", printed / target)
        print("%8d %10.1f %10.1f %12.1f %12.1f %8.2f  %s" % (
            count, printed, statistics.median(c for _, c in row["print"]), exported,
            statistics.median(c for _, c in row["pdf"]), printed / exported, verdict))
    print("load average at the end: %.1f" % os.getloadavg()[0])


if __name__ == "__main__":
    main()
