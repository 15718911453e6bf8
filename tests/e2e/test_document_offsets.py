#!/usr/bin/python3
"""A printer's offset applied to document jobs: a picture and PDF pages printed on the cups-pdf queue
VXPDF come out moved by the offset on the sheet (also where CUPS turns or scales the page); on a raw
queue (CUPS' socket backend to a listener of the test) a PDF without offset arrives byte for byte, and
with one as our redrawn pages, moved, those `pages` leaves out blank. Needs root (cups-pdf writes to root's ~/PDF); the cups lock.

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/e2e/test_document_offsets.py -v DocumentOffsets
"""
import base64
import os
import re
import subprocess
import unittest

from harness import setup_cups, unique
from rawprinter import Listener
import test_documents
from test_extension import PageCase, first_page_gray, mean_gray

MM = 72 / 25.4
OFFSET = (50, 30)  # tenths of a mm: 5 mm right, 3 mm down; 10 pixels a mm at 254 dpi


def block_pdf(path, width_mm, height_mm, x_mm, y_mm, pages=1):
    """Pages of that size, each with a black 30 × 20 mm block, its corner x, y mm from the top left."""
    from reportlab.pdfgen import canvas
    c = canvas.Canvas(path, pagesize=(width_mm * MM, height_mm * MM))
    for page in range(pages):
        c.drawString(20 * MM, 20 * MM, "page %d" % (page + 1))
        c.rect(x_mm * MM, (height_mm - y_mm - 20) * MM, 30 * MM, 20 * MM, fill=1)
        c.showPage()
    c.save()
    with open(path, "rb") as f:
        return f.read()


def dark_box(pdf, stem, page=1):
    """The dark part of a page: left, top, width, height in pixels at 254 dpi (10 a mm)."""
    subprocess.run(["pdftoppm", "-r", "254", "-gray", "-f", str(page), "-l", str(page), "-singlefile", pdf, stem],
                   check=True)
    box = subprocess.run(["convert", stem + ".pgm", "-negate", "-threshold", "50%", "-format", "%@", "info:"],
                         capture_output=True, text=True, check=True).stdout
    w, h, x, y = map(int, re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", box).groups())
    return x, y, w, h


class DocumentOffsets(PageCase):
    queue = "VXPDF"
    raw_queue = "VXDOCRAW"
    document_job = test_documents.Documents.document_job
    printed = test_documents.Documents.printed

    @classmethod
    def setUpClass(cls):
        cls.out_dir = setup_cups(cls.queue)
        cls.printer = Listener(cls.raw_queue)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.printer.close()

    def set_offset(self, queue, offset):
        ini = os.path.join(self.folder, "MyIni.ini")
        with open(ini, "rb") as f:
            original = f.read()
        def restore():
            with open(ini, "wb") as f:
                f.write(original)
        self.addCleanup(restore)
        with open(ini, "ab") as f:
            f.write(b"\r\n[PrinterOffset]\r\n%s=%d,%d\r\n" % (queue.encode(), *offset))

    def test_pictures_and_pdf_pages_move_on_the_sheet(self):
        png = subprocess.run(["convert", "-size", "300x200", "xc:white", "-fill", "black", "-draw",
                              "rectangle 30,30 170,120", "-units", "PixelsPerInch", "-density", "96", "png:-"],
                             capture_output=True, check=True).stdout
        a4 = block_pdf(os.path.join(self.work, "a4.pdf"), 210, 297, 40, 60)
        a5 = block_pdf(os.path.join(self.work, "a5.pdf"), 148, 210, 20, 30)
        rows = [  # what, document, options
            ("a wide picture at actual size, turned onto A4", png, {"fit": "actual"}),
            ("a picture at the printer's choice (fitted)", png, {}),
            ("an A4 page at actual size", a4, {"fit": "actual"}),
            ("an A5 page fitted to A4", a5, {"fit": "fit"}),
        ]

        def boxes():
            out = []
            for what, document, options in rows:
                job_id, events = self.document_job(printer=self.queue, paper="A4",
                                                   document={"base64": base64.b64encode(document).decode()},
                                                   **options)
                self.assertEqual("completed", events[-1]["state"], (what, events))
                printed = self.printed(job_id)
                self.assertEqual([(595, 842)], test_documents.page_sizes(printed), what)
                out.append(dark_box(printed, os.path.join(self.work, job_id)))
            return out

        before = boxes()
        self.set_offset(self.queue, OFFSET)
        after = boxes()
        for (what, _, _), (x0, y0, w0, h0), (x1, y1, w1, h1) in zip(rows, before, after):
            with self.subTest(what):
                # Moved 5 mm right and 3 mm down on the sheet, within 0.3 mm; drawn the same size within
                # 0.6 mm (CUPS' picture filter rounds a picture's size on the sheet its own way).
                self.assertAlmostEqual(x1 - x0, 50, delta=3)
                self.assertAlmostEqual(y1 - y0, 30, delta=3)
                self.assertAlmostEqual(w1, w0, delta=6)
                self.assertAlmostEqual(h1, h0, delta=6)

    def test_raw_queue_gets_the_pdf_as_sent_or_redrawn_moved(self):
        source = os.path.join(self.work, "raw.pdf")
        pdf = block_pdf(source, 210, 297, 40, 60)
        document = {"base64": base64.b64encode(pdf).decode()}
        events = self.document_job(printer=self.raw_queue, document=document)[1]
        self.assertEqual("completed", events[-1]["state"], events)
        self.assertEqual(pdf, self.printer.jobs.get(timeout=30))

        # Moved, the second page of two: the first, left out, is a blank page so that page-ranges holds.
        self.set_offset(self.raw_queue, OFFSET)
        two = base64.b64encode(block_pdf(os.path.join(self.work, "two.pdf"), 210, 297, 40, 60, 2)).decode()
        events = self.document_job(printer=self.raw_queue, document={"base64": two}, pages="2")[1]
        self.assertEqual("completed", events[-1]["state"], events)
        moved = os.path.join(self.work, unique("moved") + ".pdf")
        with open(moved, "wb") as f:
            f.write(self.printer.jobs.get(timeout=30))
        self.assertEqual([(595, 842)] * 2, test_documents.page_sizes(moved))
        self.assertEqual(1.0, mean_gray(first_page_gray(moved, moved[:-4] + "-1")))
        # A long redraw runs beside the agent: it answers meanwhile, and the page can take the job back.
        many = base64.b64encode(block_pdf(os.path.join(self.work, "many.pdf"), 210, 297, 40, 60, 100)).decode()
        job_id = unique("doc")
        self.send({"verolux": {"jobId": job_id, "printer": self.raw_queue, "document": {"base64": many}}})
        self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") == "accepted")
        self.assertEqual("hello", self.ask("hello")["verolux"])
        self.send({"verolux": {"cancel": job_id}})
        self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") == "cancelled")
        self.assertEqual(["accepted", "cancelled"],
                         [m["state"] for m in self.json_messages(0) if m.get("jobId") == job_id])
        # The source's block 5 mm right and 3 mm down, its size kept; within 0.3 mm.
        x, y, w, h = dark_box(source, source[:-4])
        for got, expected in zip(dark_box(moved, moved[:-4], page=2), (x + 50, y + 30, w, h)):
            self.assertAlmostEqual(got, expected, delta=3)

if __name__ == "__main__":
    unittest.main()
