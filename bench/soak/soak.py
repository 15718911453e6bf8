#!/usr/bin/python3
"""Soak: PDF requests over several connections to the real agent, then idle.

usage: soak.py BIN_DIR [--requests 10000] [--connections 10] [--idle 15] [--limit 1800]
Each connection sends its next request once the backend has stored the upload of the one before (or
after 60 s, when that upload counts as lost), so the agent always has one request of each connection
in hand. The agent's memory (VmRSS, peak VmHWM) and open file descriptors are read from /proc at the
start (after a warm-up of one request per connection), while it works, and after the idle time.
Target: nothing lost, memory after within 20 MB of the start. Uploaded files are removed as they come,
so the run needs little disk. Bounded: it stops sending after --limit seconds.
"""
import argparse
import asyncio
import json
import os
import shutil
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

import websockets  # noqa: E402

import harness  # noqa: E402

TARGET_GROWTH_MB = 20


def proc_status(pid):
    """{'VmRSS': kB, 'VmHWM': kB, ...} of a process."""
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if rest.strip().endswith("kB"):
                values[key] = int(rest.split()[0])
    return values


def fd_count(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class Sampler(threading.Thread):
    """Largest descriptor count seen while the load runs (the kernel keeps the memory peak)."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid, self.peak_fds, self.stopped = pid, 0, threading.Event()

    def run(self):
        while not self.stopped.wait(0.2):
            self.peak_fds = max(self.peak_fds, fd_count(self.pid))


class Soak:
    def __init__(self, bin_dir, work):
        self.backend, self.agent = harness.demo_pair(bin_dir, work)
        self.pid = self.agent.proc.pid
        self.sent = self.received = 0
        self.lost = []

    def stop(self):
        self.agent.stop()
        self.backend.stop()

    async def one(self, ws, report_id, text):
        await ws.send(text)
        self.sent += 1
        uploaded = self.backend.uploaded_file(report_id)
        end = time.time() + 60
        while not os.path.exists(uploaded):
            if time.time() > end:
                self.lost.append(report_id)
                return
            await asyncio.sleep(0.002)
        self.received += 1
        # The agent keeps each export in its template folder; both copies go, so disk stays flat.
        for path in (uploaded, os.path.join(self.agent.report_dir, report_id + ".pdf")):
            try:
                os.remove(path)
            except OSError:
                pass

    async def connection(self, index, count, deadline, warm):
        async with websockets.connect("ws://127.0.0.1:%d/" % self.agent.port, compression=None,
                                      max_size=None, ping_interval=None) as ws:
            rows = harness.order_rows(10, prefix="S%d-" % index)
            for i in range(count):
                if i > 0 and time.time() > deadline:
                    break
                request = harness.make_request(self.backend, "orders.grf", report_id="soak-%d-%d" % (index, i),
                                               rows=rows)
                await self.one(ws, request["reportId"], json.dumps(request, ensure_ascii=False))
                if i == 0:  # the start is read once every connection has had one request served
                    warm.set()
                    await self.started.wait()

    async def run(self, requests, connections, limit):
        self.started = asyncio.Event()
        warm = [asyncio.Event() for _ in range(connections)]
        deadline = time.time() + limit
        per = requests // connections
        tasks = [asyncio.create_task(self.connection(i, per, deadline, warm[i])) for i in range(connections)]
        for w in warm:
            await w.wait()
        start = {"rss": proc_status(self.pid)["VmRSS"], "fds": fd_count(self.pid), "time": time.time()}
        self.started.set()
        await asyncio.gather(*tasks)
        start["seconds"] = time.time() - start["time"]
        return start


def mb(kb):
    return kb / 1024.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--requests", type=int, default=10000)
    parser.add_argument("--connections", type=int, default=10)
    parser.add_argument("--idle", type=float, default=15.0, help="seconds of idle before the last reading")
    parser.add_argument("--limit", type=float, default=1800.0, help="stop sending after this many seconds")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="verolux-soak-")
    soak = Soak(os.path.abspath(args.bin_dir), work)
    try:
        harness.wait_port(soak.agent.port)
        cold = {"rss": proc_status(soak.pid)["VmRSS"], "fds": fd_count(soak.pid)}
        sampler = Sampler(soak.pid)
        sampler.start()
        start = asyncio.run(soak.run(args.requests, args.connections, args.limit))
        sampler.stopped.set()
        busy_end = {"rss": proc_status(soak.pid)["VmRSS"], "fds": fd_count(soak.pid)}
        time.sleep(args.idle)
        status = proc_status(soak.pid)
        after = {"rss": status["VmRSS"], "fds": fd_count(soak.pid)}
        stored = len(soak.backend.stats()["uploads"])
        alive = soak.agent.alive()
    finally:
        soak.stop()
        shutil.rmtree(work, ignore_errors=True)

    growth = mb(after["rss"] - start["rss"])
    print("soak: %d PDF requests of 10 rows over %d connections in %.0f s (%.1f per second)"
          % (soak.sent, args.connections, start["seconds"], soak.sent / max(start["seconds"], 1e-9)))
    print("uploads: %d sent, %d received, %d stored by the backend, %d lost%s"
          % (soak.sent, soak.received, stored, len(soak.lost), (": " + ", ".join(soak.lost[:5])) if soak.lost else ""))
    print("%-28s %10s %6s  (fds: start and peak include the client connections)" % ("agent", "RSS MB", "fds"))
    print("%-28s %10.1f %6d" % ("idle, before any request", mb(cold["rss"]), cold["fds"]))
    print("%-28s %10.1f %6d" % ("start (after warm-up)", mb(start["rss"]), start["fds"]))
    print("%-28s %10.1f %6d" % ("peak", mb(status["VmHWM"]), max(sampler.peak_fds, start["fds"])))
    print("%-28s %10.1f %6d" % ("end of load", mb(busy_end["rss"]), busy_end["fds"]))
    print("%-28s %10.1f %6d" % ("after %.0f s idle" % args.idle, mb(after["rss"]), after["fds"]))
    print("target: nothing lost, memory after within %d MB of the start: %s (%+.1f MB)%s"
          % (TARGET_GROWTH_MB, "met" if not soak.lost and growth <= TARGET_GROWTH_MB and soak.received == soak.sent
             else "MISSED", growth, "" if alive else "; the agent has exited"))


if __name__ == "__main__":
    main()
