#!/usr/bin/python3
"""Printing through a real CUPS queue, end to end.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_output.py -v [Class]
CupsPrint needs root (it starts cupsd and adds the cups-pdf queue VXPDF when they are missing).
"""
import glob
import os
import re
import subprocess
import unittest

from harness import AgentCase, make_request, order_rows, pdf_info, setup_cups, unique

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

    def wait_printed(self, stem):
        def done():
            busy = subprocess.run(["lpstat", "-o", self.queue], capture_output=True, text=True).stdout.strip()
            return not busy and self.printed_files(stem)
        return self.wait_until(done, "print job output for %s in %s" % (stem, self.out_dir), 90)[0]

    def test_many_rows_print_every_page_of_the_same_report(self):
        # Any value but "1" and "2" prints (the mode rule is a unit table): a JSON true reaches CUPS.
        stem = unique("vxe2e")
        name = self.backend.add_template(stem + ".grf")
        self.addCleanup(lambda: [os.remove(p) for p in self.printed_files(stem)])
        rows = order_rows(120)
        request = make_request(self.backend, name, preview=True, rows=rows, printer=self.queue)
        self.send(request)
        printed = self.wait_printed(stem)
        self.assertEqual([], self.backend.uploads_for(request["reportId"]))
        self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, request["reportId"] + ".pdf")))
        self.assertEqual([[], []], self.settle())
        exported = self.send_pdf(make_request(self.backend, name, rows=rows))
        printed_info, exported_info = pdf_info(printed), pdf_info(exported)
        self.assertGreater(int(exported_info["Pages"]), 1)
        self.assertEqual(exported_info["Pages"], printed_info["Pages"])
        for p, e in zip(printed_info["Page size"].split()[0:3:2], exported_info["Page size"].split()[0:3:2]):
            self.assertAlmostEqual(float(e), float(p), delta=1.5)
        # The same report with other rows, as a page the printed one must not resemble as much.
        other = self.send_pdf(make_request(self.backend, name, rows=[]))
        pages = [first_page_gray(pdf, os.path.join(self.work, name + "-" + kind))
                 for pdf, kind in ((printed, "printed"), (exported, "exported"), (other, "other"))]
        self.assertLess(mean_gray(pages[1]), 0.995, "the exported page is blank")
        # Ghostscript in cups-pdf redraws the glyphs a little heavier (up to about 0.13 on a dense page).
        own = rmse(pages[0], pages[1])
        self.assertLess(own, 0.2)
        self.assertLess(own, rmse(pages[0], pages[2]))

if __name__ == "__main__":
    unittest.main()
