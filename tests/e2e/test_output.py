#!/usr/bin/python3
"""Preview windows on a real X display and printing through a real CUPS queue, end to end.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_output.py -v [Class]
CupsPrint needs root (it starts cupsd and adds the cups-pdf queue VXPDF when they are missing).
"""
import glob
import os
import re
import subprocess
import time
import unittest

from harness import (HERE, AgentCase, XServer, make_request, order_rows, pdf_info, unique)

def first_page_gray(pdf, stem):
    subprocess.run(["pdftoppm", "-r", "40", "-gray", "-f", "1", "-l", "1", "-singlefile", pdf, stem], check=True,
                   stderr=subprocess.DEVNULL)
    return stem + ".pgm"


def rmse(a, b):
    """Normalised RMSE of two images of one size (0 equal, 1 opposite)."""
    out = subprocess.run(["compare", "-metric", "RMSE", a, b, "null:"], capture_output=True, text=True).stderr
    return float(re.search(r"\(([0-9.e-]+)\)", out).group(1))


def mean_gray(image):
    return float(subprocess.run(["identify", "-format", "%[fx:mean]", image], capture_output=True, text=True,
                                check=True).stdout)

PREVIEW_CAPTION = "报表预览-"


class PreviewWindow(AgentCase):
    """preview "1" opens a window captioned with the template name; nothing is sent or uploaded."""

    @classmethod
    def setUpClass(cls):
        cls.x = XServer()
        cls.display = cls.x.display
        try:
            super().setUpClass()
        except Exception:
            cls.x.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.x.stop()

    def wait_window(self, caption, timeout=30):
        end = time.time() + timeout
        names = []
        while time.time() < end:
            names = self.x.window_names()
            if caption in names:
                return
            time.sleep(0.05)
        self.fail("no window %r among %r" % (caption, names))

    def test_preview_modes(self):
        for label, preview in {"text 1": "1", "number 1": 1}.items():
            with self.subTest(label):
                self.clients.clear()
                name = self.backend.add_template(unique("preview") + ".grf")
                request = make_request(self.backend, name, preview=preview, rows=order_rows(4))
                self.send(request)
                self.wait_window(PREVIEW_CAPTION + name)
                self.assertEqual([[], []], self.settle())
                self.assertEqual([], self.backend.stats()["uploads"])
                self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, request["reportId"] + ".pdf")))

    def test_output_windows_are_released(self):
        # Print and PDF requests open an output window each; once its work is done it must go, or an
        # agent running for weeks grows with every print. Its X window goes with it.
        # A preview window that failed to load keeps the bare caption too: count only new ones.
        before = self.x.window_names().count("报表预览")
        sent = [make_request(self.backend, "orders.grf", preview="2") for _ in range(8)]
        for request in sent:
            self.send(request)
        for request in sent:
            self.assertIsNotNone(self.backend.wait_upload(request["reportId"], 60))
        self.settle()
        end = time.time() + 10
        while self.x.window_names().count("报表预览") > before and time.time() < end:
            time.sleep(0.1)
        self.assertEqual(before, self.x.window_names().count("报表预览"))

    def test_broken_template_leaves_an_empty_preview_and_a_log_line(self):
        name = unique("broken") + ".grf"
        with open(os.path.join(self.backend.templates, name), "w") as f:
            f.write("{ not a template")
        request = make_request(self.backend, name, preview="1")
        self.send(request)
        end = time.time() + 30
        line = name + "   " + request["reporturl"] + "\r加载失败，原因："
        while line not in self.agent.log_file() and time.time() < end:
            time.sleep(0.05)
        self.assertIn(line, self.agent.log_file())
        # The preview handles its own failure: nothing reaches the pages.
        self.assertEqual([[], []], self.settle())
        self.assertNotIn(PREVIEW_CAPTION + name, self.x.window_names())


class CupsPrint(AgentCase):
    """Any preview value but "1" and "2" prints: the job lands in the cups-pdf queue's folder with the
    pages of the same report exported to PDF."""

    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        setup = subprocess.run([os.path.join(HERE, "..", "support", "cups_setup.sh"), cls.queue],
                               capture_output=True, text=True)
        if setup.returncode == 77:
            raise unittest.SkipTest(setup.stderr.strip())
        if setup.returncode != 0:
            raise RuntimeError("CUPS setup failed: " + setup.stderr)
        cls.out_dir = setup.stdout.strip().splitlines()[-1]
        super().setUpClass()

    def printed_files(self, stem):
        # cups-pdf names the file after the job title (the template name), with some characters replaced.
        return glob.glob(os.path.join(self.out_dir, "*%s*.pdf" % stem.replace("-", "?")))

    def wait_printed(self, stem, timeout=90):
        end = time.time() + timeout
        while time.time() < end:
            found = self.printed_files(stem)
            busy = subprocess.run(["lpstat", "-o", self.queue], capture_output=True, text=True).stdout.strip()
            if found and not busy:
                return found[0]
            time.sleep(0.1)
        self.fail("no print job output for %s in %s" % (stem, self.out_dir))

    def print_and_export(self, preview, rows):
        stem = unique("vxe2e")
        name = self.backend.add_template(stem + ".grf")
        self.addCleanup(lambda: [os.remove(p) for p in self.printed_files(stem)])
        printed = make_request(self.backend, name, preview=preview, rows=rows, printer=self.queue)
        self.send(printed)
        path = self.wait_printed(stem)
        self.assertEqual([], self.backend.uploads_for(printed["reportId"]))
        self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, printed["reportId"] + ".pdf")))
        exported = self.send_pdf(make_request(self.backend, name, rows=rows))
        # The same report with other rows, as a page the printed one must not resemble as much.
        other = self.send_pdf(make_request(self.backend, name, rows=[] if rows else order_rows(30)))
        printed_page = first_page_gray(path, os.path.join(self.work, stem + "-printed"))
        exported_page = first_page_gray(exported, os.path.join(self.work, stem + "-exported"))
        other_page = first_page_gray(other, os.path.join(self.work, stem + "-other"))
        self.assertLess(mean_gray(exported_page), 0.995, "the exported page is blank")
        # Ghostscript in cups-pdf redraws the glyphs a little heavier (up to about 0.13 on a dense page).
        own = rmse(printed_page, exported_page)
        self.assertLess(own, 0.2)
        self.assertLess(own, rmse(printed_page, other_page))
        return pdf_info(path), pdf_info(exported)

    def assert_same_pages(self, printed, exported):
        self.assertEqual(exported["Pages"], printed["Pages"])
        pw, ph = [float(x) for x in printed["Page size"].split()[0:3:2]]
        ew, eh = [float(x) for x in exported["Page size"].split()[0:3:2]]
        self.assertAlmostEqual(ew, pw, delta=1.5)
        self.assertAlmostEqual(eh, ph, delta=1.5)

    def test_print_modes(self):
        for label, preview in {"empty": "", "0": "0", "3": "3", "boolean true": True}.items():
            with self.subTest(label):
                printed, exported = self.print_and_export(preview, order_rows(3))
                self.assert_same_pages(printed, exported)
                self.assertEqual("1", printed["Pages"])
        self.assertEqual([[], []], self.settle())

    def test_many_rows_print_every_page(self):
        printed, exported = self.print_and_export("", order_rows(120))
        self.assertGreater(int(exported["Pages"]), 1)
        self.assert_same_pages(printed, exported)

    def test_empty_repdata_prints_one_page(self):
        printed, exported = self.print_and_export("0", [])
        self.assert_same_pages(printed, exported)
        self.assertEqual("1", printed["Pages"])


if __name__ == "__main__":
    unittest.main()
