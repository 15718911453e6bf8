#!/usr/bin/python3
"""Screenshots for the docs: the demo page connected to a running agent (headless Chromium) and a
preview window of the agent on a virtual X display.

usage: e2e-screenshots.py BIN_DIR OUT_DIR      writes OUT_DIR/demo-page.png and OUT_DIR/preview-window.png
It runs the parts the end-to-end tests use (tests/e2e, tests/support).
"""
import asyncio
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

import websockets

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402  (puts tests/support on the path too)
from harness import AgentRun, XServer, free_port, make_program_folder, make_request, order_rows  # noqa: E402
from backendproc import Backend  # noqa: E402
from test_browser import chromium  # noqa: E402
from wsclients import Clients  # noqa: E402


def wait_for(predicate, timeout, what):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return
        time.sleep(0.1)
    raise RuntimeError("timed out waiting for " + what)


def shrink(src, dst):
    # Fewer colours keep the PNG small; text stays sharp.
    subprocess.run(["convert", src, "-strip", "-colors", "128", "PNG8:" + dst], check=True)


async def capture_when(debug_port, condition, path, timeout=120):
    """Through Chromium's DevTools protocol: waits until the page's script `condition` is true, then
    saves the page as PNG. Real time, not virtual: the agent's answers take as long as they take."""
    targets = json.load(urllib.request.urlopen("http://127.0.0.1:%d/json/list" % debug_port))
    url = next(t["webSocketDebuggerUrl"] for t in targets if t["type"] == "page")
    async with websockets.connect(url, max_size=None) as ws:
        serial = 0

        async def call(method, **params):
            nonlocal serial
            serial += 1
            await ws.send(json.dumps({"id": serial, "method": method, "params": params}))
            while True:
                reply = json.loads(await ws.recv())
                if reply.get("id") == serial:
                    return reply["result"]

        end = time.time() + timeout
        while not (await call("Runtime.evaluate", expression=condition))["result"].get("value"):
            if time.time() > end:
                raise RuntimeError("the page never got to " + condition)
            await asyncio.sleep(0.2)
        shot = await call("Page.captureScreenshot", format="png")
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))


def demo_page(backend, agent_port, work, out):
    raw = os.path.join(work, "demo-page-raw.png")
    # One visit sends a job per template named: a print on the cups-pdf queue, a PDF whose upload the
    # backend refuses, one it stores, and a template it cannot deliver; the page shows the printers and
    # every job's states.
    backend.fail("500", "/templates/labels.grf", count=-1)
    query = urllib.parse.urlencode(dict(agent=agent_port, rows=8, auto="print,pdf,pdf,pdf", printer="VXPDF",
                                        template="orders.grf,invoice.grf,orders.grf,labels.grf"))
    backend.fail("500", "/upload/pdf", count=1)
    port = free_port()
    with chromium("%s/?%s" % (backend.base, query), os.path.join(work, "chromium.log"),
                  "--remote-debugging-port=%d" % port, "--window-size=1400,1100", "--hide-scrollbars"):
        wait_for(lambda: probe(port), 30, "the browser's debugging port")
        asyncio.run(capture_when(port, "document.body.dataset.auto === 'done' && document.querySelectorAll('#uploads tr').length >= 1", raw))
    backend.fail("none")
    shrink(raw, os.path.join(out, "demo-page.png"))


def probe(port):
    try:
        urllib.request.urlopen("http://127.0.0.1:%d/json/version" % port, timeout=1)
        return True
    except OSError:
        return False


def preview_window(x, backend, agent_port, work, out):
    clients = Clients(agent_port, 1)
    try:
        request = make_request(backend, "orders.grf", preview="1", rows=order_rows(40, prefix="SO24"),
                               company="维罗勒克斯演示公司", title="订单明细表")
        clients.send(json.dumps(request, ensure_ascii=False))
        wait_for(lambda: x.find("报表预览-orders.grf"), 30, "the preview window")
        time.sleep(1.5)  # the viewer paints its first pages
        raw = os.path.join(work, "preview-raw.png")
        # No window manager on the display: the window keeps its own size, so take just the window.
        x.screenshot(raw, window="报表预览-orders.grf")
        shrink(raw, os.path.join(out, "preview-window.png"))
    finally:
        clients.close()


def main():
    bin_dir, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    harness.setup_cups("VXPDF")  # the demo page lists it and prints on it: run under the cups lock
    harness.BIN_DIR = bin_dir
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="verolux-shots-")
    x = XServer("1400x1000x24")
    backend = agent = None
    try:
        backend = Backend(os.path.join(bin_dir, "verolux-demo-backend"), os.path.join(work, "backend"))
        folder = make_program_folder(os.path.join(work, "agent"), backend)
        agent = AgentRun(folder, free_port(), x.display, os.path.join(work, "agent.stderr"))
        demo_page(backend, agent.port, work, out)
        preview_window(x, backend, agent.port, work, out)
        print("wrote", os.path.join(out, "demo-page.png"), "and", os.path.join(out, "preview-window.png"))
    finally:
        if agent:
            agent.stop()
        if backend:
            backend.stop()
        x.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
