#!/usr/bin/python3
"""Request queue figures against the real agent and the demo backend.

1. hello round trip on one page, alone and while another page's template download trickles in at about
   2,000 B/s (the agent downloads beside its event loop; target <= 50 ms);
2. PAGES pages connect at once and each sends a 3-row PDF job: how many were answered with their final
   event (or refused at once by the connection limit), the wall time from the first connection to the
   last final event, and the agent's peak RSS (VmHWM of /proc/PID/status).

usage: bench.py BIN_DIR [--hellos 50] [--pages 3000]
"""
import argparse
import asyncio
import json
import os
import resource
import shutil
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

import websockets  # noqa: E402

from burst import burst  # noqa: E402
import harness  # noqa: E402
from templateserver import TemplateServer  # noqa: E402

HELLO_TARGET_MS = 50


def status_kb(pid, field):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith(field + ":"))


class Bench:
    def __init__(self, bin_dir, work):
        self.backend, self.agent = harness.demo_pair(bin_dir, work)
        self.templates = TemplateServer(harness.read_bytes(os.path.join(self.backend.templates, "orders.grf")))
        self.url = "ws://127.0.0.1:%d/" % self.agent.port

    def stop(self):
        self.templates.close()
        self.agent.stop()
        self.backend.stop()

    def connect(self):
        return websockets.connect(self.url, compression=None, max_size=None, ping_interval=None, open_timeout=300)

    async def hellos(self, ws, count):
        times = []
        for _ in range(count):
            start = time.perf_counter()
            await ws.send('{"verolux":"hello"}')
            while '"hello"' not in await asyncio.wait_for(ws.recv(), 60):
                pass
            times.append((time.perf_counter() - start) * 1000.0)
        return times

    async def hello_figures(self, count):
        async with self.connect() as slow_page, self.connect() as page:
            alone = await self.hellos(page, count)
            name = "slow-bench.grf"
            request = harness.make_request(self.backend, name, reporturl=self.templates.url("/slow/" + name))
            await slow_page.send(json.dumps(request))
            while not self.templates.trickling.is_set():
                await asyncio.sleep(0.01)
            during = await self.hellos(page, count)
            self.templates.released.set()
        return alone, during

    async def burst_figures(self, pages):
        await burst(self.url, harness.make_request(self.backend, "orders.grf"), 1)  # the template in place first
        request = harness.make_request(self.backend, "orders.grf", rows=harness.order_rows(3))
        start = time.perf_counter()
        outcomes, _ = await burst(self.url, request, pages)
        return outcomes, time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("--hellos", type=int, default=50)
    parser.add_argument("--pages", type=int, default=3000)
    args = parser.parse_args()

    # The agent inherits its descriptor limit; the pages need as many here.
    _, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (8192, hard if hard == resource.RLIM_INFINITY else max(hard, 8192)))

    work = tempfile.mkdtemp(prefix="verolux-bench-queue-")
    bench = Bench(os.path.abspath(args.bin_dir), work)
    try:
        alone, during = asyncio.run(bench.hello_figures(args.hellos))
        cpu_before = harness.cpu_seconds(bench.agent.proc.pid)
        outcomes, wall = asyncio.run(bench.burst_figures(args.pages))
        cpu = harness.cpu_seconds(bench.agent.proc.pid) - cpu_before
        peak_mb = status_kb(bench.agent.proc.pid, "VmHWM") / 1024.0
        alive = bench.agent.alive()
    finally:
        bench.stop()
        shutil.rmtree(work, ignore_errors=True)

    for label, times in (("alone", alone), ("during a 2,000 B/s download", during)):
        med = statistics.median(times)
        verdict = ""
        if times is during:
            verdict = "  <= %d ms: %s" % (HELLO_TARGET_MS, "met" if med <= HELLO_TARGET_MS else "MISSED")
        print("hello round trip %-28s median %6.2f ms, max %6.2f ms (%d runs)%s" % (
            label, med, max(times), len(times), verdict))
    counts = {o: outcomes.count(o) for o in sorted(set(outcomes))}
    print("%d PDF jobs at once: %r in %.1f s (%.1f ms each; agent CPU %.1f s), agent peak RSS %.0f MB, agent %s" % (
        args.pages, counts, wall, wall * 1000.0 / args.pages, cpu, peak_mb, "alive" if alive else "DEAD"))


if __name__ == "__main__":
    main()
