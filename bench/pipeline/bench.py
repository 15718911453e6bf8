#!/usr/bin/python3
"""Print pipeline timings: a WebSocket client sends PDF requests to the real agent and waits until the
demo backend has stored the upload; and a 10-row PDF job that follows its events, timed from sending to
the "accepted" and to the final event.

usage: bench.py BIN_DIR [--runs 5] [--rows 10,1000,32767] [--seconds 5] [--perf perf.data]
Latency is the backend's time stamp of the stored upload minus the client's time of sending (same
clock, milliseconds). The template is fetched once before timing; later requests find it current.
With --perf the agent is sampled (perf record, DWARF call graphs) during the timed runs; read it with
`perf report -i perf.data --children --sort sym -g none`.
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

TARGETS_MS = {10: 30, 32767: 2000}
JOB_TARGETS_MS = {"accepted": 2, "final": 15}


def rows(count):
    return harness.order_rows(count, prefix="B")


class Bench:
    def __init__(self, bin_dir, work):
        self.backend, self.agent = harness.demo_pair(bin_dir, work)
        self.seq = 0

    def stop(self):
        self.agent.stop()
        self.backend.stop()

    def request_text(self, row_data):
        self.seq += 1
        request = harness.make_request(self.backend, "orders.grf", report_id="bench-%d" % self.seq,
                                       rows=row_data, company="Bench Co.")
        return request["reportId"], json.dumps(request, ensure_ascii=False)

    async def one(self, ws, text, report_id, timeout=120):
        """Sends one request and returns milliseconds until the backend stored its upload."""
        path = self.backend.uploaded_file(report_id)
        sent_ms = time.time() * 1000.0
        await ws.send(text)
        end = time.time() + timeout
        while not os.path.exists(path):
            if time.time() > end:
                raise RuntimeError("no upload for %s" % report_id)
            await asyncio.sleep(0.0005)
        for _ in range(200):
            found = self.backend.uploads_for(report_id)
            if found:
                return found[-1]["timeMs"] - sent_ms
            await asyncio.sleep(0.005)
        raise RuntimeError("upload of %s not in the stats" % report_id)

    async def job(self, ws, row_data):
        """Sends a request as a job and returns milliseconds until its "accepted" and its final event."""
        report_id, text = self.request_text(row_data)
        job = json.loads(text)
        job["verolux"] = {"jobId": report_id}
        text = json.dumps(job, ensure_ascii=False)
        start = time.perf_counter()
        await ws.send(text)
        accepted = None
        while True:
            event = json.loads(await asyncio.wait_for(ws.recv(), 60))
            if event.get("jobId") != report_id:
                continue
            now = (time.perf_counter() - start) * 1000.0
            if event["state"] == "accepted":
                accepted = now
            elif event["state"] in ("uploaded", "failed"):
                if event["state"] == "failed":
                    raise RuntimeError("job failed: %r" % event)
                return accepted, now

    def cpu_seconds(self):
        """The agent's CPU time so far (all its threads, user and system)."""
        with open("/proc/%d/stat" % self.agent.proc.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def start_perf(self, out):
        perf = subprocess.Popen(["perf", "record", "-F", "499", "--call-graph", "dwarf,16384", "-o", out,
                                 "-p", str(self.agent.proc.pid)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)  # perf attaches
        return perf

    async def run(self, row_counts, runs, seconds, perf_out=None):
        results = {}
        perf = None
        async with websockets.connect("ws://127.0.0.1:%d/" % self.agent.port, compression=None,
                                      max_size=None, ping_interval=None) as ws:
            # Fetch the template once, then warm up.
            rid, text = self.request_text(rows(10))
            await self.one(ws, text, rid)
            if perf_out:
                perf = self.start_perf(perf_out)
            for count in row_counts:
                data = rows(count)
                rid, text = self.request_text(data)
                await self.one(ws, text, rid)  # warm-up run, not counted
                times = []
                for _ in range(runs):
                    self.backend.reset()
                    rid, text = self.request_text(data)
                    times.append(await self.one(ws, text, rid))
                size = len(text.encode("utf-8"))
                pdf = os.path.getsize(self.backend.uploaded_file(rid))
                results[count] = (times, size, pdf)
            # A followed 10-row job: its events come back on this connection.
            jobs = [await self.job(ws, rows(10)) for _ in range(runs + 1)][1:]
            # Sequential small requests: each waits for its upload before the next is sent.
            data = rows(10)
            done, start, cpu = 0, time.time(), self.cpu_seconds()
            while time.time() - start < seconds:
                self.backend.reset()
                rid, text = self.request_text(data)
                await self.one(ws, text, rid)
                done += 1
            rate = done / (time.time() - start)
            cpu_ms = (self.cpu_seconds() - cpu) * 1000.0 / done
        if perf:
            perf.send_signal(2)
            perf.wait()
        return results, rate, cpu_ms, jobs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--rows", default="10,1000,32767")
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--keep", action="store_true", help="keep the work folder (agent and backend logs)")
    parser.add_argument("--perf", metavar="FILE", help="sample the agent with perf record into FILE")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="verolux-bench-")
    bench = Bench(os.path.abspath(args.bin_dir), work)
    try:
        counts = [int(x) for x in args.rows.split(",")]
        perf_out = os.path.abspath(args.perf) if args.perf else None
        results, rate, cpu_ms, jobs = asyncio.run(bench.run(counts, args.runs, args.seconds, perf_out))
    finally:
        bench.stop()
        if args.keep:
            print("work folder:", work)
        else:
            shutil.rmtree(work, ignore_errors=True)

    print("PDF request -> upload stored (median of %d runs, after one warm-up)" % args.runs)
    print("%8s %12s %10s %10s %10s %10s  %s" % ("rows", "request B", "PDF B", "median ms", "min ms", "max ms", "target"))
    for count, (times, size, pdf) in results.items():
        med = statistics.median(times)
        target = TARGETS_MS.get(count)
        verdict = ""
        if target:
            verdict = "<= %d ms: %s (%.2fx)" % (target, "met" if med <= target else "MISSED", med / target)
        print("%8d %12d %10d %10.1f %10.1f %10.1f  %s" % (count, size, pdf, med, min(times), max(times), verdict))
    print("sequential 10-row PDF requests: %.1f per second (%.1f ms each, %.2f ms of the agent's CPU)" % (
        rate, 1000.0 / rate, cpu_ms))
    for i, label in enumerate(("accepted", "final")):
        med = statistics.median(j[i] for j in jobs)
        target = JOB_TARGETS_MS[label]
        print("10-row PDF job, send -> %-8s median %6.2f ms (min %.2f, max %.2f)  <= %d ms: %s" % (
            label, med, min(j[i] for j in jobs), max(j[i] for j in jobs), target, "met" if med <= target else "MISSED"))
    if args.perf:
        print("agent profile:", args.perf)


if __name__ == "__main__":
    main()
