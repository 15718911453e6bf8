#!/usr/bin/python3
"""Raw jobs end to end: printer commands sent by a page reach a real CUPS raw queue byte for byte. The
queue VXRAW uses CUPS' socket backend, pointed at a listener this test runs (needs root; shares the
scheduler with the other CUPS tests, so it holds the cups lock).

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/e2e/test_raw.py -v RawJobs
"""
import base64
import os
import shutil
import unittest
import urllib.parse

from harness import HERE, setup_cups, unique
from rawprinter import Listener
from test_browser import CHROMIUM, PageServer, chromium
from test_extension import FINAL, PageCase

ZPL_GB18030 = "^XA^CI26^FO50,50^A@N,40,40,E:SIMSUN.TTF^FD货号 A-17^FS^XZ"
# ESC/POS: initialise, centre, text, full cut; with a NUL and a 0xFF byte that no text encoding gives.
ESCPOS = b"\x1b@\x1ba\x01Receipt 9\n\x00\xff\x1dV\x00"


class RawJobs(PageCase):
    queue = "VXRAW"

    @classmethod
    def setUpClass(cls):
        setup_cups("VXPDF")  # the scheduler runs (or the class is skipped)
        cls.printer = Listener(cls.queue)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.printer.close()

    def raw_job(self, raw, printer=queue, **extra):
        job_id = unique("raw")
        self.send({"verolux": dict(extra, jobId=job_id, printer=printer, raw=raw)})
        self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") in FINAL, timeout=60)
        return [m for m in self.json_messages(0) if m.get("jobId") == job_id]

    def test_queue_receives_exactly_the_bytes_sent(self):
        cases = [({"text": ZPL_GB18030, "encoding": "GB18030"}, ZPL_GB18030.encode("gb18030")),
                 ({"text": "^XA^FDGröße^FS^XZ", "encoding": "Latin-1"}, "^XA^FDGröße^FS^XZ".encode("latin-1")),
                 ({"text": "^XA^FD货号^FS^XZ"}, "^XA^FD货号^FS^XZ".encode()),
                 ({"base64": base64.b64encode(ESCPOS).decode()}, ESCPOS)]
        for raw, expected in cases:
            with self.subTest(raw=raw):
                events = self.raw_job(raw)
                self.assertEqual(["accepted", "spooled", "completed"], [e["state"] for e in events])
                self.assertEqual(events[1]["cupsJobId"], events[2]["cupsJobId"])
                self.assertEqual(expected, self.printer.jobs.get(timeout=30))
        # Nothing reached the plain-request pages.
        self.assertEqual([], self.clients.messages(1))

    def test_refused_jobs_print_nothing_anywhere(self):
        missing = self.raw_job({"text": "^XA^XZ"}, printer=unique("VXRAW_MISSING"))
        self.assertEqual([("accepted", None), ("failed", "printer-not-found")],
                         [(e["state"], e.get("code")) for e in missing])
        bad = self.raw_job({"text": "货", "encoding": "Latin-1"})
        self.assertEqual([("failed", "bad-request")], [(e["state"], e.get("code")) for e in bad])
        # A later job is the next thing the printer gets: the refused ones sent nothing.
        self.assertEqual(["accepted", "spooled", "completed"], [e["state"] for e in self.raw_job({"text": "OK"})])
        self.assertEqual(b"OK", self.printer.jobs.get(timeout=30))
        self.assertTrue(self.printer.jobs.empty())

    def test_client_module_in_a_browser(self):
        if not os.path.exists(CHROMIUM):
            self.skipTest("no chromium at " + CHROMIUM)
        os.makedirs(os.path.join(self.work, "pages"), exist_ok=True)
        pages = PageServer(os.path.join(self.work, "pages"))
        self.addCleanup(pages.close)
        shutil.copy(os.path.join(HERE, "client_raw.html"), os.path.join(self.work, "pages"))
        self.allow_site(pages.base)
        query = urllib.parse.urlencode({"agent": self.agent.port, "printer": self.queue})
        with chromium("%s/client_raw.html?%s" % (pages.base, query), os.path.join(self.work, "raw.log")):
            r = pages.report(1)
        self.assertIsNotNone(r, "the test page never reported")
        self.assertEqual(("completed", ["accepted", "spooled", "completed"]), (r["text"]["value"]["state"], r["states"]))
        self.assertEqual("completed", r["bytes"]["value"]["state"])
        self.assertEqual("^XA^FD货号 A-17^FS^XZ".encode("gb18030"), self.printer.jobs.get(timeout=30))
        self.assertEqual(b"\x1b@\x00\xff\x1dV\x01", self.printer.jobs.get(timeout=30))
        self.assertEqual(("bad-request", "bad-request"), (r["noPrinter"]["error"]["code"], r["both"]["error"]["code"]))
        self.assertEqual("printer-not-found", r["missing"]["error"]["code"])
        self.assertEqual(("cancelled", "printer-not-found"), (r["aborted"]["error"]["code"], r["document"]["error"]["code"]))
        self.assertTrue(self.printer.jobs.empty())


if __name__ == "__main__":
    unittest.main()
