#!/usr/bin/python3
"""Trays and paper sizes: printers() lists what CUPS reports for a queue whose driver has input trays
with Chinese names, a job's tray and custom paper reach CUPS as job attributes, and a tray the printer
does not have is refused before anything prints. The queue VXTRAY is cups-pdf with trays added to its
PPD (needs root; the cups lock).

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/e2e/test_media.py -v PaperAndTrays
"""
import glob
import os
import subprocess
import tempfile

from harness import FAILED, make_request, setup_cups
from test_extension import PageCase

PPD = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"
TRAYS = """*OpenUI *InputSlot/Paper Source: PickOne
*OrderDependency: 20 AnySetup *InputSlot
*DefaultInputSlot: Tray1
*InputSlot Tray1/Tray 1: ""
*InputSlot Tray2/Tray 2: ""
*InputSlot Manual/Manual Feed: ""
*CloseUI: *InputSlot
*zh_CN.Translation InputSlot/纸张来源: ""
*zh_CN.InputSlot Tray1/纸盒 1: ""
*zh_CN.InputSlot Tray2/纸盒 2: ""
*zh_CN.InputSlot Manual/手动进纸: ""
"""


def job_attributes(job):
    return subprocess.run(["ipptool", "-tv", "ipp://localhost/jobs/%d" % job, "get-job-attributes.test"],
                          capture_output=True, text=True).stdout


class PaperAndTrays(PageCase):
    queue = "VXTRAY"

    @classmethod
    def setUpClass(cls):
        cls.out_dir = setup_cups("VXPDF")
        with open(PPD, encoding="latin-1") as base, \
                tempfile.NamedTemporaryFile("w", suffix=".ppd", delete=False, encoding="utf-8") as ppd:
            ppd.write(base.read() + TRAYS)
        try:
            subprocess.run(["lpadmin", "-p", cls.queue, "-E", "-v", "cups-pdf:/", "-P", ppd.name], check=True,
                           capture_output=True)
        finally:
            os.remove(ppd.name)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        subprocess.run(["lpadmin", "-x", cls.queue], capture_output=True)

    def test_printers_list_trays_and_papers_with_the_drivers_names(self):
        printer = {p["name"]: p for p in self.ask("printers")["printers"]}[self.queue]
        self.assertEqual([{"name": "tray-1", "text": "纸盒 1"}, {"name": "tray-2", "text": "纸盒 2"},
                          {"name": "manual", "text": "手动进纸"}], printer["trays"])
        a4 = [p for p in printer["papers"] if p["name"] == "iso_a4_210x297mm"]
        self.assertEqual([{"name": "iso_a4_210x297mm", "text": "A4", "widthMm": 210, "heightMm": 297}], a4)
        self.assertEqual(printer["media"], [p["name"] for p in printer["papers"]])
        self.assertGreater(printer["customPaper"]["maxWidthMm"], 100)

    def test_tray_and_custom_paper_reach_cups_and_an_unknown_tray_prints_nothing(self):
        name = "orders.grf"
        printed = lambda: set(glob.glob(os.path.join(self.out_dir, "*orders*.pdf")))
        before = printed()
        self.addCleanup(lambda: [os.remove(p) for p in printed() - before])
        events = self.job(make_request(self.backend, name, preview="", printer=self.queue), tray="纸盒 2",
                          paper={"widthMm": 62, "heightMm": 29})
        self.assertEqual(["accepted", "spooled", "completed"], [e["state"] for e in events])
        attributes = job_attributes(events[-1]["cupsJobId"])
        self.assertIn("media-source (keyword) = tray-2", attributes)
        self.assertIn("media (keyword) = custom_29x62mm_29x62mm", attributes)

        jobs = lambda: subprocess.run(["lpstat", "-W", "all", "-o", self.queue], capture_output=True,
                                      text=True).stdout.count(self.queue + "-")
        count = jobs()
        refused = self.job(make_request(self.backend, name, preview="", printer=self.queue), tray="tray-9")
        self.assertEqual(["accepted", "failed"], [e["state"] for e in refused])
        self.assertEqual("bad-request", refused[-1]["code"])
        self.assertIn('has no tray "tray-9"; it offers tray-1 (纸盒 1), tray-2 (纸盒 2), manual (手动进纸)',
                      refused[-1]["message"])
        self.assertNotIn("cupsJobId", refused[-1])
        self.assertEqual(count, jobs())
        self.expect_reply(FAILED)  # the protocol's reply to a failed print, to every page
        paper = self.job(make_request(self.backend, name, preview="", printer=self.queue), paper="B9")
        self.assertIn('has no paper "B9"; it offers ', paper[-1]["message"])


if __name__ == "__main__":
    import unittest
    unittest.main()
