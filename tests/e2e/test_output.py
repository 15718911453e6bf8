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

from harness import AgentCase, XServer, make_request, order_rows, pdf_info, setup_cups, unique

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

    def test_preview_window_and_nothing_else(self):
        # How the window loads and what it shows on failure are widget tests (tests/reports/windows).
        name = self.backend.add_template(unique("preview") + ".grf")
        request = make_request(self.backend, name, preview="1", rows=order_rows(4))
        self.send(request)
        self.wait_window(PREVIEW_CAPTION + name)
        self.assertEqual([[], []], self.settle())
        self.assertEqual([], self.backend.stats()["uploads"])
        self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, request["reportId"] + ".pdf")))


class CupsPrint(AgentCase):
    """Any preview value but "1" and "2" prints: the job lands in the cups-pdf queue's folder with the
    pages of the same report exported to PDF."""

    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        cls.out_dir = setup_cups(cls.queue)
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
        """Prints the rows through the agent, exports the same report, and returns both files."""
        stem = unique("vxe2e")
        name = self.backend.add_template(stem + ".grf")
        self.addCleanup(lambda: [os.remove(p) for p in self.printed_files(stem)])
        printed = make_request(self.backend, name, preview=preview, rows=rows, printer=self.queue)
        self.send(printed)
        path = self.wait_printed(stem)
        self.assertEqual([], self.backend.uploads_for(printed["reportId"]))
        self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, printed["reportId"] + ".pdf")))
        exported = self.send_pdf(make_request(self.backend, name, rows=rows))
        printed_info, exported_info = pdf_info(path), pdf_info(exported)
        self.assertEqual(exported_info["Pages"], printed_info["Pages"])
        pw, ph = [float(x) for x in printed_info["Page size"].split()[0:3:2]]
        ew, eh = [float(x) for x in exported_info["Page size"].split()[0:3:2]]
        self.assertAlmostEqual(ew, pw, delta=1.5)
        self.assertAlmostEqual(eh, ph, delta=1.5)
        return path, exported, name

    def test_print_modes(self):
        # The mode rule itself is a unit table (tests/printing); here, that such a value reaches CUPS.
        for label, preview in {"empty": "", "boolean true": True}.items():
            with self.subTest(label):
                self.print_and_export(preview, order_rows(3))
        self.assertEqual([[], []], self.settle())

    def test_many_rows_print_every_page_of_the_same_report(self):
        printed, exported, name = self.print_and_export("0", order_rows(120))
        self.assertGreater(int(pdf_info(exported)["Pages"]), 1)
        # The same report with other rows, as a page the printed one must not resemble as much.
        other = self.send_pdf(make_request(self.backend, name, rows=[]))
        stem = os.path.join(self.work, name)
        printed_page = first_page_gray(printed, stem + "-printed")
        exported_page = first_page_gray(exported, stem + "-exported")
        other_page = first_page_gray(other, stem + "-other")
        self.assertLess(mean_gray(exported_page), 0.995, "the exported page is blank")
        # Ghostscript in cups-pdf redraws the glyphs a little heavier (up to about 0.13 on a dense page).
        own = rmse(printed_page, exported_page)
        self.assertLess(own, 0.2)
        self.assertLess(own, rmse(printed_page, other_page))


if __name__ == "__main__":
    unittest.main()
