#!/usr/bin/python3
"""A real browser end to end: headless Chromium loads the demo page from the backend, the page
connects to the agent and sends a PDF request, the backend receives the PDF; and the client module
itself, driven by a test page against the real agent.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_browser.py -v [Class]
"""
import contextlib
import functools
import http.server
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import unittest
import urllib.parse

from harness import HERE, AgentCase, pdf_text, setup_cups, unique
from backendproc import DEMO_WEB

CHROMIUM = os.environ.get("VEROLUX_CHROMIUM", "/usr/bin/chromium")


@contextlib.contextmanager
def chromium(url, log_path, *extra):
    """Headless Chromium on url until the block ends; a debugging port keeps it running meanwhile."""
    profile = tempfile.mkdtemp(prefix="verolux-chromium-")
    log = open(log_path, "wb")
    extra = extra or ("--remote-debugging-port=0",)
    browser = subprocess.Popen([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                "--user-data-dir=" + profile, *extra, url],
                               stdout=log, stderr=subprocess.STDOUT, start_new_session=True,
                               env=dict(os.environ, TMPDIR=profile))  # its scratch folders go with the profile
    try:
        yield browser
    finally:
        # The browser and its helper processes share the session we started it in.
        try:
            os.killpg(browser.pid, signal.SIGTERM)
            browser.wait(10)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            if browser.poll() is None:
                os.killpg(browser.pid, signal.SIGKILL)
                browser.wait()
        log.close()
        shutil.rmtree(profile, ignore_errors=True)


class PageServer(http.server.ThreadingHTTPServer):
    """Serves the client module and its test page from a folder of their own; keeps what the page posts."""

    def __init__(self, root):
        for path in (os.path.join(HERE, "client_page.html"), os.path.join(DEMO_WEB, "verolux-client.js")):
            shutil.copy(path, root)
        self.report, self.done = None, threading.Event()
        owner = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_POST(self):
                owner.report = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
                owner.done.set()
                self.send_response(204)
                self.end_headers()

        super().__init__(("127.0.0.1", 0), functools.partial(Handler, directory=root))
        self.base = "http://127.0.0.1:%d" % self.server_address[1]
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def close(self):
        self.shutdown()
        self.server_close()


class Browser(AgentCase):
    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(CHROMIUM):
            raise unittest.SkipTest("no chromium at " + CHROMIUM)
        try:  # the page lists the printers: the cups-pdf queue where a scheduler can run, else none
            setup_cups(cls.queue)
            cls.cups = True
        except unittest.SkipTest:
            cls.cups = False
        super().setUpClass()

    def test_demo_page_sends_a_pdf_request(self):
        report_id = unique("browser")
        query = urllib.parse.urlencode({"agent": self.agent.port, "auto": "pdf", "template": "orders.grf",
                                        "rows": 5, "reportId": report_id})
        with chromium("%s/?%s" % (self.backend.base, query), os.path.join(self.work, "chromium.log")):
            record = self.backend.wait_upload(report_id, timeout=90)
        self.assertIsNotNone(record, "the page's request never produced an upload (agent replies: %r)"
                             % self.clients.messages(0))
        self.assertEqual("/upload/pdf", record["path"])
        text = pdf_text(self.backend.uploaded_file(report_id))
        # The page's sample rows: order numbers SO0100000 … SO0100004.
        for i in range(5):
            self.assertIn("SO%07d" % (100000 + i), text)
        self.assertNotIn("SO0100005", text)
        # The page's job is its own: nothing comes back to the other clients.
        self.assertEqual([[], []], self.settle())

    def test_client_module(self):
        os.makedirs(os.path.join(self.work, "pages"))
        pages = PageServer(os.path.join(self.work, "pages"))
        self.addCleanup(pages.close)
        self.allow_site(pages.base)  # the test page's own site, not the backend's
        report_id = unique("client")
        query = urllib.parse.urlencode({"agent": self.agent.port, "backend": self.backend.base, "reportId": report_id})
        with chromium("%s/client_page.html?%s" % (pages.base, query), os.path.join(self.work, "client.log")):
            self.assertTrue(pages.done.wait(90), "the test page never reported")
        r = pages.report
        keys = ["preview", "repname", "reptype", "reguserno", "reprintname", "sdesign", "reporturl", "reportmd5",
                "reportId", "reportAdd", "repdata", "company"]
        for mode, (preview, sdesign) in {"print": ("", "0"), "preview": ("1", "0"), "pdf": ("2", "0"),
                                         "design": ("", "1")}.items():
            built = r["built"][mode]
            self.assertEqual(keys, list(built), mode)  # the ten named keys, rows, then parameters
            self.assertEqual((preview, sdesign, "7", "P", "ABC"), (built["preview"], built["sdesign"], built["reportId"],
                                                                    built["reprintname"], built["reportmd5"]))
        self.assertEqual(["connecting", "open", "closed"], r["connection"])
        self.assertEqual("Verolux", r["info"]["value"]["agent"])
        if self.cups:
            self.assertIn(self.queue, [p["name"] for p in r["printers"]["value"]], r["printers"])
        else:
            self.assertEqual({"code": "printers-unavailable", "isVeroluxError": True,
                              "message": "cannot list the printers: the print service (CUPS) is not running"},
                             r["printers"]["error"])
        self.assertEqual(("uploaded", 200, report_id),
                         (r["pdf"]["value"]["state"], r["pdf"]["value"]["httpStatus"], r["pdf"]["value"]["reportId"]))
        self.assertEqual(["accepted", "uploaded"], r["pdfStates"])
        self.assertIsNotNone(self.backend.uploads_for(report_id))
        self.assertEqual({"code": "template-not-found", "message": "找不到报表文件:no-such-template.grf",
                          "isVeroluxError": True}, r["missing"]["error"])
        self.assertEqual("bad-request", r["badCopies"]["error"]["code"])


if __name__ == "__main__":
    unittest.main()
