#!/usr/bin/python3
"""A real browser end to end: headless Chromium loads the demo page from the backend, the page
connects to the agent and sends a PDF request, the backend receives the PDF.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_browser.py -v
"""
import os
import shutil
import signal
import subprocess
import tempfile
import unittest
import urllib.parse

from harness import AgentCase, pdf_text, unique

CHROMIUM = os.environ.get("VEROLUX_CHROMIUM", "/usr/bin/chromium")


def chromium_command(profile, url, *extra):
    return [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--user-data-dir=" + profile, *extra, url]


class Browser(AgentCase):

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(CHROMIUM):
            raise unittest.SkipTest("no chromium at " + CHROMIUM)
        super().setUpClass()

    def test_demo_page_sends_a_pdf_request(self):
        report_id = unique("browser")
        query = urllib.parse.urlencode({"agent": self.agent.port, "auto": "pdf", "template": "orders.grf",
                                        "rows": 5, "reportId": report_id})
        profile = tempfile.mkdtemp(prefix="verolux-chromium-")
        self.addCleanup(shutil.rmtree, profile, True)
        log = open(os.path.join(self.work, "chromium.log"), "wb")
        self.addCleanup(log.close)
        # A debugging port keeps the headless browser running until we end it.
        browser = subprocess.Popen(chromium_command(profile, "%s/?%s" % (self.backend.base, query),
                                                    "--remote-debugging-port=0"),
                                   stdout=log, stderr=subprocess.STDOUT, start_new_session=True)

        def stop():
            # The browser and its helper processes share the session we started it in.
            try:
                os.killpg(browser.pid, signal.SIGTERM)
                browser.wait(10)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                if browser.poll() is None:
                    os.killpg(browser.pid, signal.SIGKILL)
                    browser.wait()
        self.addCleanup(stop)

        record = self.backend.wait_upload(report_id, timeout=90)
        self.assertIsNotNone(record, "the page's request never produced an upload (agent replies: %r)"
                             % self.clients.messages(0))
        self.assertEqual("pdf", record["kind"])
        self.assertEqual("/upload/pdf", record["path"])
        text = pdf_text(self.backend.uploaded_file(report_id))
        # The page's sample rows: order numbers SO0100000 … SO0100004.
        for i in range(5):
            self.assertIn("SO%07d" % (100000 + i), text)
        self.assertNotIn("SO0100005", text)
        # The page only sends; nothing comes back to the other clients.
        self.assertEqual([[], []], self.settle())


if __name__ == "__main__":
    unittest.main()
