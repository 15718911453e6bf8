#!/usr/bin/python3
"""Document jobs end to end: a PDF by URL (pages of two sizes) and a PNG in Base64 printed on the
cups-pdf queue VXPDF with the fit and paper asked for reaching CUPS; a URL that gives no document and
bytes that are no document fail; a page at "fit" is the source page scaled, pixel for pixel. (CUPS'
filters put every page of a job on one paper: the agent sends a PDF whose pages differ in size as one
job per run of pages of one size, each on its own paper.) Previews on a virtual display. Needs root (cups-pdf writes to root's ~/PDF); the
cups lock.

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/e2e/test_documents.py -v Documents
"""
import base64
import glob
import os
import re
import subprocess

from harness import setup_cups, unique
from test_browser import PageServer
from test_extension import FINAL, PageCase, first_page_gray, mean_gray, rmse
from test_media import job_attributes


def two_size_pdf(path):
    """Page 1: A4 portrait, page 2: A5 landscape; each with a black block off centre."""
    from reportlab.lib.pagesizes import A4, A5, landscape
    from reportlab.pdfgen import canvas
    c = canvas.Canvas(path, pagesize=A4)
    c.rect(60, 500, 300, 250, fill=1)
    c.showPage()
    c.setPageSize(landscape(A5))
    c.rect(40, 40, 200, 120, fill=1)
    c.showPage()
    c.save()


def page_sizes(pdf):
    out = subprocess.run(["pdfinfo", "-f", "1", "-l", "99", pdf], capture_output=True, text=True, check=True).stdout
    return [(round(float(w)), round(float(h))) for w, h in re.findall(r"Page +\d+ size: +([\d.]+) x ([\d.]+)", out)]


class Documents(PageCase):
    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        cls.out_dir = setup_cups(cls.queue)
        super().setUpClass()

    def document_job(self, **verolux):
        job_id = unique("doc")
        self.send({"verolux": dict(verolux, jobId=job_id)})
        self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") in FINAL, timeout=90)
        return job_id, [m for m in self.json_messages(0) if m.get("jobId") == job_id]

    def printed(self, job_id, count=1):
        """The job's output files (one per CUPS job), in the order CUPS took them; the first alone when count is 1."""
        # cups-pdf names the file after the job's title, "document JOBID", some characters replaced,
        # and the CUPS job's number.
        files = lambda: sorted(glob.glob(os.path.join(self.out_dir, "*%s*.pdf" % job_id[4:])),
                               key=lambda p: int(re.findall(r"(\d+)\.pdf$", p)[0]))
        self.addCleanup(lambda: [os.remove(p) for p in files()])
        found = self.wait_until(lambda: len(files()) >= count and files(), "the job's output in " + self.out_dir)
        return found[0] if count == 1 else found

    def test_pdf_by_url_prints_at_actual_size(self):
        os.makedirs(os.path.join(self.work, "files"), exist_ok=True)
        files = PageServer(os.path.join(self.work, "files"))
        self.addCleanup(files.close)
        source = os.path.join(self.work, "files", "two.pdf")
        two_size_pdf(source)
        job_id, events = self.document_job(printer=self.queue, document={"url": files.base + "/two.pdf"}, fit="actual")
        self.assertEqual(["accepted", "spooled", "completed"], [e["state"] for e in events])
        self.assertIn("print-scaling (keyword) = none", job_attributes(events[-1]["cupsJobId"]))
        # Each page on its own paper: one CUPS job per run of pages of one size.
        printed, second = self.printed(job_id, 2)
        self.assertEqual([[(595, 842)], [(421, 595)]], [page_sizes(printed), page_sizes(second)])
        pages = [first_page_gray(pdf, os.path.join(self.work, job_id + kind)) for pdf, kind in ((printed, "p"), (source, "s"))]
        self.assertLess(mean_gray(pages[1]), 0.95)
        self.assertLess(rmse(pages[0], pages[1]), 0.1)

        # Two copies come out whole, one after the other.
        job_id, events = self.document_job(printer=self.queue, document={"url": files.base + "/two.pdf"}, copies=2)
        self.assertEqual("completed", events[-1]["state"], events)
        self.assertEqual([[(595, 842)], [(421, 595)]] * 2, [page_sizes(p) for p in self.printed(job_id, 4)])

        missing = self.document_job(printer=self.queue, document={"url": files.base + "/missing.pdf"})[1]
        self.assertEqual([("accepted", None), ("failed", "document-not-found")],
                         [(e["state"], e.get("code")) for e in missing])

    def test_pdf_at_fit_is_the_source_page_scaled(self):
        from reportlab.lib.pagesizes import A5
        from reportlab.pdfgen import canvas
        source = os.path.join(self.work, "a5.pdf")
        c = canvas.Canvas(source, pagesize=A5)
        c.rect(30, 300, 200, 150, fill=1)
        c.circle(300, 100, 60, fill=1)
        c.showPage()
        c.save()
        with open(source, "rb") as f:
            pdf = base64.b64encode(f.read()).decode()
        job_id, events = self.document_job(printer=self.queue, fit="fit", paper="A4", document={"base64": pdf})
        self.assertEqual("completed", events[-1]["state"], events)
        printed = self.printed(job_id)
        self.assertEqual([(595, 842)], page_sizes(printed))
        stem = os.path.join(self.work, job_id)
        subprocess.run(["pdftoppm", "-r", "50", "-gray", "-singlefile", printed, stem], check=True)
        size = subprocess.run(["identify", "-format", "%w %h", stem + ".pgm"], capture_output=True, text=True,
                              check=True).stdout.split()
        # The A5 page enlarged to the whole A4 sheet (cups-pdf prints to the edges), pixel for pixel.
        subprocess.run(["pdftoppm", "-gray", "-singlefile", "-scale-to-x", size[0], "-scale-to-y", size[1], source,
                        stem + "-src"], check=True)
        subprocess.run(["pdftoppm", "-gray", "-singlefile", "-r", "50", source, stem + "-unscaled"], check=True)
        subprocess.run(["convert", stem + "-unscaled.pgm", "-gravity", "center", "-extent", "x".join(size),
                        stem + "-actual.pgm"], check=True)
        self.assertLess(rmse(stem + ".pgm", stem + "-src.pgm"), 0.06)
        self.assertGreater(rmse(stem + ".pgm", stem + "-actual.pgm"), 0.2)

    def test_png_in_base64_fits_the_paper(self):
        png = subprocess.run(["convert", "-size", "300x200", "xc:white", "-fill", "black", "-draw",
                              "rectangle 30,30 270,170", "png:-"], capture_output=True, check=True).stdout
        job_id, events = self.document_job(printer=self.queue, fit="fit", paper="A4",
                                           document={"base64": base64.b64encode(png).decode(), "type": "image/png"})
        self.assertEqual(["accepted", "spooled", "completed"], [e["state"] for e in events], events)
        attributes = job_attributes(events[-1]["cupsJobId"])
        self.assertIn("print-scaling (keyword) = fit", attributes)
        self.assertIn("media (keyword) = iso_a4_210x297mm", attributes)
        printed = self.printed(job_id)
        self.assertEqual(1, len(page_sizes(printed)))
        self.assertEqual((595, 842), page_sizes(printed)[0])
        self.assertLess(mean_gray(first_page_gray(printed, os.path.join(self.work, job_id))), 0.9)

        not_png = self.document_job(printer=self.queue, document={"base64": base64.b64encode(b"GIF89a").decode()})[1]
        self.assertEqual([("failed", "bad-request")], [(e["state"], e.get("code")) for e in not_png])

    def test_pdf_action_uploads_the_pdf_and_a_picture_as_a_pdf_page(self):
        source = os.path.join(self.work, "up.pdf")
        two_size_pdf(source)
        with open(source, "rb") as f:
            pdf = f.read()
        report_id = unique("docpdf")
        events = self.document_job(action="pdf", reportId=report_id, reportAdd=self.backend.upload_url,
                                   document={"base64": base64.b64encode(pdf).decode()})[1]
        self.assertEqual(["accepted", "uploaded"], [e["state"] for e in events])
        self.assertEqual(report_id, events[-1]["reportId"])
        with open(self.backend.uploaded_file(report_id), "rb") as f:
            self.assertEqual(pdf, f.read())

        png_path = os.path.join(self.work, "pic.png")
        subprocess.run(["convert", "-size", "300x200", "xc:white", "-fill", "black", "-draw", "rectangle 30,30 170,120",
                        "-units", "PixelsPerInch", "-density", "96", png_path], check=True)
        with open(png_path, "rb") as f:
            png = f.read()
        picture_id = unique("docpng")
        events = self.document_job(action="pdf", reportId=picture_id, reportAdd=self.backend.upload_url,
                                   document={"base64": base64.b64encode(png).decode(), "type": "image/png"})[1]
        self.assertEqual(["accepted", "uploaded"], [e["state"] for e in events])
        uploaded = self.backend.uploaded_file(picture_id)
        self.assertEqual([(225, 150)], page_sizes(uploaded))  # 300 × 200 pixels at 96 dpi
        stem = os.path.join(self.work, picture_id)
        subprocess.run(["pdftoppm", "-r", "96", "-gray", "-singlefile", uploaded, stem], check=True)
        reference = stem + "-ref.pgm"
        subprocess.run(["convert", png_path, "-colorspace", "gray", reference], check=True)
        blank = stem + "-blank.pgm"
        subprocess.run(["convert", "-size", "300x200", "xc:white", "-colorspace", "gray", blank], check=True)
        # pdftoppm smooths the block's edges a little.
        self.assertLess(rmse(stem + ".pgm", reference), 0.06)
        self.assertGreater(rmse(stem + ".pgm", blank), 0.3)

        # A JPEG goes into the PDF as it is.
        jpeg_path = os.path.join(self.work, "pic.jpg")
        subprocess.run(["convert", png_path, "-quality", "95", "-units", "PixelsPerInch", "-density", "96", jpeg_path],
                       check=True)
        with open(jpeg_path, "rb") as f:
            jpeg = f.read()
        jpeg_id = unique("docjpg")
        events = self.document_job(action="pdf", reportId=jpeg_id, reportAdd=self.backend.upload_url,
                                   document={"base64": base64.b64encode(jpeg).decode()})[1]
        self.assertEqual(["accepted", "uploaded"], [e["state"] for e in events])
        with open(self.backend.uploaded_file(jpeg_id), "rb") as f:
            self.assertIn(jpeg, f.read())
        self.assertEqual([(225, 150)], page_sizes(self.backend.uploaded_file(jpeg_id)))
        # A CMYK JPEG is stored as its pixels: the page still shows the picture.
        cmyk_path = os.path.join(self.work, "cmyk.jpg")
        subprocess.run(["convert", png_path, "-colorspace", "CMYK", "-units", "PixelsPerInch", "-density", "96",
                        cmyk_path], check=True)
        with open(cmyk_path, "rb") as f:
            cmyk = f.read()
        cmyk_id = unique("doccmyk")
        events = self.document_job(action="pdf", reportId=cmyk_id, reportAdd=self.backend.upload_url,
                                   document={"base64": base64.b64encode(cmyk).decode()})[1]
        self.assertEqual(["accepted", "uploaded"], [e["state"] for e in events])
        cmyk_stem = os.path.join(self.work, cmyk_id)
        subprocess.run(["pdftoppm", "-r", "96", "-gray", "-singlefile", self.backend.uploaded_file(cmyk_id), cmyk_stem],
                       check=True)
        self.assertLess(rmse(cmyk_stem + ".pgm", reference), 0.08)


class DocumentPreview(PageCase):
    """action "preview" opens the document's own window on a virtual display; the page hears "shown"."""
    display = "wm"

    def test_pdf_and_picture_open_a_preview(self):
        source = os.path.join(self.work, "preview.pdf")
        two_size_pdf(source)
        with open(source, "rb") as f:
            pdf = base64.b64encode(f.read()).decode()
        png = base64.b64encode(subprocess.run(["convert", "-size", "30x20", "xc:black", "png:-"],
                                              capture_output=True, check=True).stdout).decode()
        for document in ({"base64": pdf}, {"base64": png, "type": "image/png"}):
            job_id = unique("docview")
            self.send({"verolux": {"jobId": job_id, "action": "preview", "document": document}})
            done = self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") in FINAL, timeout=60)
            if "without Qt PDF" in done.get("message", ""):
                continue  # an agent built without it previews pictures only
            self.assertEqual("shown", done["state"], done)
            self.wait_window("文档预览-" + job_id)
        broken = unique("docview")
        self.send({"verolux": {"jobId": broken, "action": "preview",
                               "document": {"base64": base64.b64encode(b"%PDF-1.4 broken").decode()}}})
        done = self.wait_json(lambda m: m.get("jobId") == broken and m.get("state") in FINAL, timeout=60)
        self.assertEqual(("failed", "bad-request"), (done["state"], done["code"]))


if __name__ == "__main__":
    import unittest
    unittest.main()
