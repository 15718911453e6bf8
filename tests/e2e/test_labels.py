#!/usr/bin/python3
"""Exact labels: a 62 mm × 29 mm label template printed on the cups-pdf queue VXPDF (which takes custom
sizes) comes out one label of that size per row, with no blank label after, the label's drawing where
the template puts it. Needs root (cups-pdf writes to root's ~/PDF); the cups lock.

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/e2e/test_labels.py -v
"""
import glob
import json
import os
import re
import subprocess
import unittest

from harness import make_request, setup_cups, unique
from test_documents import page_sizes
from test_extension import PageCase

MM = 72 / 25.4


def label_template(orientation="portrait", width=62, height=29):
    """One label per row: a black block 10 mm from the label's left edge and 5 mm from its top."""
    return {"format": "verolux-report", "version": 1, "title": "label",
            "page": {"paper": "Custom", "width": width, "height": height, "orientation": orientation,
                     "margins": {"left": 0, "top": 0, "right": 0, "bottom": 0}},
            "fields": [{"name": "sku", "type": "text"}],
            "bands": {"detail": {"height": 29, "items": [
                {"type": "rect", "x": 10, "y": 5, "w": 20, "h": 10, "style": "block"},
                {"type": "text", "x": 35, "y": 5, "w": 25, "h": 6, "text": "{sku}"}]}},
            "styles": {"block": {"background": "#000000"}}}


class Labels(PageCase):
    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        cls.out_dir = setup_cups(cls.queue)
        super().setUpClass()

    def print_labels(self, template, rows):
        name = unique("label") + ".grf"
        with open(os.path.join(self.backend.templates, name), "w") as f:
            json.dump(template, f)
        request = make_request(self.backend, name, preview="", printer=self.queue,
                               rows=[{"sku": "A-%d" % i} for i in range(rows)])
        events = self.job(request)
        self.assertEqual("completed", events[-1]["state"], events)
        # cups-pdf names the file after the job's title (the template's) and the CUPS job's number.
        number = events[-1]["cupsJobId"]
        files = lambda: glob.glob(os.path.join(self.out_dir, "*job_%d.pdf" % number))
        self.addCleanup(lambda: [os.remove(p) for p in files()])
        return self.wait_until(files, "the job's output in " + self.out_dir)[0]

    def test_one_label_of_its_size_per_row(self):
        printed = self.print_labels(label_template(), 3)
        # 62 × 29 mm is 175.7 × 82.2 points; cups-pdf gives whole points.
        self.assertEqual([(175, 82)] * 3, page_sizes(printed))
        self.assertEqual((10, 5, 20, 10), self.block_mm(printed))

    def test_the_printers_offset_moves_the_label(self):
        ini = os.path.join(self.folder, "MyIni.ini")
        with open(ini, "rb") as f:
            original = f.read()
        self.addCleanup(lambda: open(ini, "wb").write(original))
        with open(ini, "ab") as f:
            f.write(b"\r\n[PrinterOffset]\r\n%s=30,-20\r\n" % self.queue.encode())
        printed = self.print_labels(label_template(), 1)
        self.assertEqual([(175, 82)], page_sizes(printed))
        self.assertEqual((13, 3, 20, 10), self.block_mm(printed))

    def block_mm(self, pdf):
        """Where the black block is on the first label: left, top, width, height in whole mm."""
        stem = os.path.join(self.work, unique("label"))
        subprocess.run(["pdftoppm", "-r", "254", "-gray", "-f", "1", "-l", "1", "-singlefile", pdf, stem], check=True)
        # Left of the row's text; 10 pixels a millimetre.
        box = subprocess.run(["convert", stem + ".pgm", "-crop", "330x290+0+0", "+repage", "-negate", "-threshold",
                              "50%", "-format", "%@", "info:"], capture_output=True, text=True, check=True).stdout
        w, h, x, y = map(int, re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", box).groups())
        return tuple(round(v / 10) for v in (x, y, w, h))


if __name__ == "__main__":
    unittest.main()
