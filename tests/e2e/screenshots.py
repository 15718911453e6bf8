#!/usr/bin/python3
"""Screenshots for the docs: the demo page connected to a running agent (headless Chromium) and a
preview window of the agent on a virtual X display.

usage: screenshots.py BIN_DIR OUT_DIR      writes OUT_DIR/demo-page.png and OUT_DIR/preview-window.png
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

import harness
from harness import AgentRun, XServer, free_port, make_program_folder, make_request, order_rows
from backendproc import Backend
from test_browser import chromium_command
from wsclients import Clients


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


def demo_page(backend, agent_port, work, out):
    profile = tempfile.mkdtemp(prefix="verolux-chromium-", dir=work)
    raw = os.path.join(work, "demo-page-raw.png")

    def shoot(**auto):
        query = urllib.parse.urlencode(dict(agent=agent_port, rows=8, **auto))
        # Virtual time lets the page connect, send and show what came back before the picture is taken.
        subprocess.run(chromium_command(profile, "%s/?%s" % (backend.base, query), "--screenshot=" + raw,
                                        "--window-size=1400,1000", "--hide-scrollbars",
                                        "--virtual-time-budget=8000"),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)

    # First visit: the page exports one PDF, so the upload list has an entry on the second visit.
    shoot(auto="pdf", template="orders.grf", reportId="orders-demo")
    wait_for(lambda: backend.uploads_for("orders-demo"), 30, "the page's upload")
    # Second visit: a template the backend fails to deliver, so the agent's reply shows too.
    backend.fail("500", "/templates/labels.grf", count=-1)
    shoot(auto="pdf", template="labels.grf", reportId="labels-demo")
    shrink(raw, os.path.join(out, "demo-page.png"))


def preview_window(x, backend, agent_port, work, out):
    clients = Clients(agent_port, 1)
    try:
        request = make_request(backend, "orders.grf", preview="1", rows=order_rows(40, prefix="SO24"),
                               company="维罗勒克斯演示公司", title="订单明细表")
        clients.send(json.dumps(request, ensure_ascii=False))
        wait_for(lambda: "报表预览-orders.grf" in x.window_names(), 30, "the preview window")
        time.sleep(1.5)  # the viewer paints its first pages
        raw = os.path.join(work, "preview-raw.png")
        # No window manager on the display: the window keeps its own size, so take just the window.
        x.screenshot(raw, window="报表预览-orders.grf")
        shrink(raw, os.path.join(out, "preview-window.png"))
    finally:
        clients.close()


def main():
    bin_dir, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    harness.BIN_DIR = bin_dir
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="verolux-shots-")
    x = XServer("1400x1000x24")
    backend = agent = None
    try:
        backend = Backend(os.path.join(bin_dir, "verolux-demo-backend"), os.path.join(work, "backend"))
        folder = make_program_folder(os.path.join(work, "agent"))
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
