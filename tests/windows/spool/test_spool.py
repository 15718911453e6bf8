#!/usr/bin/python3
"""The Windows print path under Wine: Wine's spooler lists this machine's CUPS queues and hands its
jobs to them, so what spool_tool.exe prints through PrintReportTo, raw and picture jobs lands in the
cups-pdf queue (pages and size checked with pdfinfo) or a socket queue this test listens on.
Needs root (cupsd, lpadmin), wine64 and a Windows build (run.sh sets the environment).

Run: tests/windows/spool/run.sh   (or with SPOOL_TOOL, WINE64 and the Wine variables set, this file)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zlib
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from rawprinter import Listener  # noqa: E402
TOOL = os.environ.get("SPOOL_TOOL", os.path.join(ROOT, "build", "windows", "bin", "spool_tool.exe"))
WINE = os.environ.get("WINE64", "/usr/lib/wine/wine64")
TEMPLATE = os.path.join(ROOT, "demo", "templates", "orders.grf")
REQUEST = os.path.join(ROOT, "demo", "requests", "orders.json")
RAW_QUEUE = "VXSPOOLRAW"
# ESC/POS: initialise, centre, text, full cut; with a NUL and a 0xFF byte no text encoding gives.
ESCPOS = b"\x1b@\x1ba\x01Receipt 9\n\x00\xff\x1dV\x00" + bytes(range(256))


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def tool(*args, check=True):
    """One run of spool_tool.exe under Wine: (exit code, stdout, stderr)."""
    # Files, not pipes: services Wine starts on the way inherit the output handles and keep pipes open.
    with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
        code = subprocess.run([WINE, TOOL] + list(args), stdout=out, stderr=err, timeout=120).returncode
        out.seek(0)
        err.seek(0)
        result = code, out.read(), err.read()
    if check and code != 0:
        raise AssertionError("spool_tool %s failed: %s" % (" ".join(args), result[2].strip()))
    return result


def png(width, height, dpi=72, dark=None):
    """A picture, 8-bit grey: a dark frame on white, or the pixels dark(x, y) says."""
    dark = dark or (lambda x, y: x < 4 or y < 4 or x >= width - 4 or y >= height - 4)
    rows = b"".join(bytes([0] + [0x20 if dark(x, y) else 0xff for x in range(width)]) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    dpm = int(dpi / 0.0254)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
            chunk(b"pHYs", struct.pack(">IIB", dpm, dpm, 1)) + chunk(b"IDAT", zlib.compress(rows)) +
            chunk(b"IEND", b""))


def pdfinfo(path):
    out = subprocess.run(["pdfinfo", path], capture_output=True, text=True, check=True).stdout
    pages = int(re.search(r"^Pages:\s+(\d+)", out, re.M).group(1))
    size = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", out, re.M)
    rotation = re.search(r"^Page rot:\s+(\d+)", out, re.M)
    w, h = round(float(size.group(1))), round(float(size.group(2)))
    # As the page is seen: a sheet turned by 90° shows its long side across.
    return pages, (h, w) if rotation and int(rotation.group(1)) % 180 else (w, h)


def page_pixels(path, page):
    """A page's grey pixels at 20 dpi, averaged down from 80 dpi: poppler samples a page-sized
    bitmap (what the Windows path prints) unevenly at low resolutions."""
    pgm = subprocess.run(["pdftoppm", "-gray", "-r", "80", "-f", str(page), "-l", str(page), path],
                         capture_output=True, check=True).stdout
    small = subprocess.run(["convert", "pgm:-", "-filter", "Box", "-resize", "25%", "pgm:-"], input=pgm,
                           capture_output=True, check=True).stdout
    return small.split(b"\n", 3)[3]


def rmse(a, b):
    """Normalised root-mean-square difference of two grey renderings of the same size."""
    if len(a) != len(b):
        return 1.0
    return (sum((x - y) ** 2 for x, y in zip(a, b)) / len(a)) ** 0.5 / 255


def ink_corner(path, page, dpi=100):
    """The top-left corner of a page's ink in pixels at `dpi`: the leftmost column and the top row
    with a dark pixel."""
    pgm = subprocess.run(["pdftoppm", "-gray", "-r", str(dpi), "-f", str(page), "-l", str(page), path],
                         capture_output=True, check=True).stdout
    _, size, _, pixels = pgm.split(b"\n", 3)
    width, height = map(int, size.split())
    rows = [pixels[y * width:(y + 1) * width] for y in range(height)]
    top = next(y for y, row in enumerate(rows) if min(row) < 128)
    left = min(x for row in rows for x, p in enumerate(row) if p < 128)
    return left, top


def inked(path, page):
    """The share of a printed page's pixels that are not white."""
    pixels = page_pixels(path, page)
    return sum(1 for p in pixels if p < 200) / len(pixels)


class SpoolerPrinting(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for need in (TOOL, WINE, shutil.which("pdftoppm"), shutil.which("convert")):
            if need is None:
                raise unittest.SkipTest("pdftoppm or ImageMagick's convert missing")
            if not os.path.exists(need):
                raise unittest.SkipTest("missing " + need)
        setup = subprocess.run([os.path.join(ROOT, "tests", "support", "cups_setup.sh"), "VXPDF"],
                               capture_output=True, text=True)
        if setup.returncode == 77:
            raise unittest.SkipTest(setup.stderr.strip())
        if setup.returncode != 0:
            raise RuntimeError("CUPS setup failed: " + setup.stderr)
        cls.outdir = setup.stdout.strip().splitlines()[-1]
        cls.printer = Listener(RAW_QUEUE)
        cls.work = tempfile.mkdtemp(prefix="vx-spool-")

    @classmethod
    def tearDownClass(cls):
        cls.printer.close()
        shutil.rmtree(cls.work, ignore_errors=True)

    def printed(self, title):
        """The cups-pdf file of the job named `title`, once written and the queue is empty."""
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            files = [f for f in os.listdir(self.outdir) if f.startswith(title)]
            queued = subprocess.run(["lpstat", "-o", "VXPDF"], capture_output=True, text=True).stdout
            if files and not queued.strip():
                path = os.path.join(self.outdir, files[0])
                self.addCleanup(os.remove, path)
                return path
            time.sleep(0.2)
        self.fail("no output for %s in %s" % (title, self.outdir))

    def request_with_rows(self, rows):
        import json
        with open(REQUEST, encoding="utf-8") as f:
            request = json.load(f)
        request["repdata"] = request["repdata"][:rows]
        path = os.path.join(self.work, "rows-%d.json" % rows)
        with open(path, "w", encoding="utf-8") as f:
            json.dump(request, f, ensure_ascii=False)
        return path

    def pages_of(self, request):
        return int(tool("pages", win_path(TEMPLATE), win_path(request))[1].split()[1])

    def test_spooler_lists_the_queues_with_papers_and_trays(self):
        out = tool("list")[1]
        block = out.split("printer VXPDF ")[1].split("\nprinter ")[0]
        self.assertIn("accepting=1", block)
        self.assertIn("paper iso_a4_210x297mm 210x297", block)
        self.assertIn("paper na_letter_8.5x11in 215.9x279.4", block)
        self.assertRegex(block, r"\ntray \S+")

    def test_two_page_report_lands_as_two_a4_pages(self):
        # The fewest rows that make two pages.
        low, high = 1, 80
        while low < high:
            mid = (low + high) // 2
            if self.pages_of(self.request_with_rows(mid)) >= 2:
                high = mid
            else:
                low = mid + 1
        request = self.request_with_rows(low)
        title = "vxspool-%d-2p" % os.getpid()
        direct = os.path.join(self.work, "direct.pdf")
        out = tool("report", "VXPDF", win_path(TEMPLATE), win_path(request), title, "--pdf", win_path(direct))[1]
        self.assertRegex(out, r"^job \d+ pages 2 ")
        path = self.printed(title)
        self.assertEqual((2, (595, 842)), pdfinfo(path))
        # Each printed page shows its own page of the engine's PDF: close to it (Ghostscript and the
        # 300 dpi bitmap blur a little), closer than to the other page.
        printed = [page_pixels(path, p) for p in (1, 2)]
        exported = [page_pixels(direct, p) for p in (1, 2)]
        for i in (0, 1):
            self.assertGreater(inked(path, i + 1), 0.005, "page %d is blank" % (i + 1))
            own, other = rmse(printed[i], exported[i]), rmse(printed[i], exported[1 - i])
            print("page %d: RMSE %.3f against its export, %.3f against the other page" % (i + 1, own, other))
            self.assertLess(own, 0.2, "page %d differs from the export" % (i + 1))
            self.assertLess(own, other, "page %d looks like the other page" % (i + 1))

    def test_page_range_in_grey(self):
        title = "vxspool-%d-range" % os.getpid()
        tool("report", "VXPDF", win_path(TEMPLATE), win_path(REQUEST), title, "--pages", "2", "--gray")
        self.assertEqual((1, (595, 842)), pdfinfo(self.printed(title)))

    def test_collated_copies(self):
        title = "vxspool-%d-copies" % os.getpid()
        tool("report", "VXPDF", win_path(TEMPLATE), win_path(REQUEST), title, "--pages", "1-2", "--copies", "2")
        path = self.printed(title)
        self.assertEqual(4, pdfinfo(path)[0])
        pages = [page_pixels(path, p) for p in (1, 2, 3, 4)]
        self.assertNotEqual(pages[0], pages[1])
        self.assertEqual(pages[:2], pages[2:], "not pages 1 2 1 2")

    def test_landscape_template_prints_turned(self):
        import json
        with open(TEMPLATE, encoding="utf-8") as f:
            template = json.load(f)
        template["page"]["orientation"] = "landscape"
        turned = os.path.join(self.work, "landscape.grf")
        with open(turned, "w", encoding="utf-8") as f:
            json.dump(template, f, ensure_ascii=False)
        title = "vxspool-%d-land" % os.getpid()
        out = tool("report", "VXPDF", win_path(turned), win_path(REQUEST), title, "--pages", "1")[1]
        self.assertRegex(out, r"^job \d+ ")
        path = self.printed(title)
        self.assertEqual((1, (842, 595)), pdfinfo(path))
        self.assertGreater(inked(path, 1), 0.005)

    def test_printer_offset_moves_the_report_on_the_sheet(self):
        # 12.5 mm right and 6 mm down: x to the right, y down, as on CUPS.
        corners = []
        for offset in ("0,0", "125,60"):
            title = "vxspool-%d-offset-%s" % (os.getpid(), offset.replace(",", "_"))
            tool("report", "VXPDF", win_path(TEMPLATE), win_path(REQUEST), title, "--pages", "1", "--offset",
                 offset)
            path = self.printed(title)
            self.assertEqual((1, (595, 842)), pdfinfo(path))
            corners.append(ink_corner(path, 1))
        dx, dy = corners[1][0] - corners[0][0], corners[1][1] - corners[0][1]
        print("moved by %d, %d px at 100 dpi" % (dx, dy))
        # 100 dpi: 12.5 mm = 49.2 px, 6 mm = 23.6 px; the 300 dpi bitmap and Ghostscript round by a pixel.
        self.assertAlmostEqual(49.2, dx, delta=1.5)
        self.assertAlmostEqual(23.6, dy, delta=1.5)

    def test_raw_job_reaches_the_queue_byte_for_byte(self):
        data = os.path.join(self.work, "receipt.bin")
        with open(data, "wb") as f:
            f.write(ESCPOS)
        out = tool("raw", RAW_QUEUE, win_path(data), "vxspool raw")[1]
        self.assertRegex(out, r"^job \d+")
        self.assertEqual(ESCPOS, self.printer.jobs.get(timeout=60))

    def test_picture_prints_on_one_page(self):
        picture = os.path.join(self.work, "frame.png")
        with open(picture, "wb") as f:
            f.write(png(300, 200))
        title = "vxspool-%d-png" % os.getpid()
        tool("document", "VXPDF", win_path(picture), "image/png", title, "none")
        path = self.printed(title)
        self.assertEqual(1, pdfinfo(path)[0])
        self.assertGreater(inked(path, 1), 0.001)

    def test_printer_offset_moves_a_picture_on_the_sheet(self):
        picture = os.path.join(self.work, "tall.png")
        with open(picture, "wb") as f:
            f.write(png(200, 300))
        corners = []
        for offset in ("0,0", "-80,150"):
            title = "vxspool-%d-pngoffset-%s" % (os.getpid(), offset.replace(",", "_"))
            tool("document", "VXPDF", win_path(picture), "image/png", title, "none", "--offset", offset)
            corners.append(ink_corner(self.printed(title), 1))
        dx, dy = corners[1][0] - corners[0][0], corners[1][1] - corners[0][1]
        print("moved by %d, %d px at 100 dpi" % (dx, dy))
        # 8 mm left = -31.5 px, 15 mm down = 59.1 px.
        self.assertAlmostEqual(-31.5, dx, delta=1.5)
        self.assertAlmostEqual(59.1, dy, delta=1.5)

    def test_sheet_sized_picture_filling_the_sheet_keeps_its_place(self):
        # The calibration page's way on Windows: an A4 picture at 100 dpi whose marks are 10 mm from the
        # left and top edges, filling the sheet, prints them 10 mm from the sheet's edges (39.4 px).
        picture = os.path.join(self.work, "sheet.png")
        with open(picture, "wb") as f:
            f.write(png(827, 1169, 100, lambda x, y: (x == 39 and 200 < y < 400) or (y == 39 and 200 < x < 400)))
        title = "vxspool-%d-sheet" % os.getpid()
        tool("document", "VXPDF", win_path(picture), "image/png", title, "fill")
        left, top = ink_corner(self.printed(title), 1)
        self.assertAlmostEqual(39.4, left, delta=1.5)
        self.assertAlmostEqual(39.4, top, delta=1.5)

    def test_refusals_name_what_is_wrong(self):
        pdf = os.path.join(self.work, "a.pdf")
        with open(pdf, "wb") as f:
            f.write(b"%PDF-1.4\n%%EOF\n")
        code, _, err = tool("document", "VXPDF", win_path(pdf), "application/pdf", "x", check=False)
        self.assertEqual(1, code)
        self.assertIn("PDF documents cannot be printed on Windows", err)
        code, _, err = tool("report", "NoSuchPrinter-%d" % os.getpid(), win_path(TEMPLATE), win_path(REQUEST),
                            "x", check=False)
        self.assertEqual(1, code)
        self.assertIn('[no-such-printer] printer "NoSuchPrinter-%d" does not exist' % os.getpid(), err)
        code, _, err = tool("raw", "NoSuchPrinter-%d" % os.getpid(), win_path(pdf), "x", check=False)
        self.assertEqual(1, code)
        self.assertIn('[no-such-printer] printer "NoSuchPrinter-%d" does not exist' % os.getpid(), err)

    def test_open_job_is_cancelled(self):
        out = tool("cancel", "VXPDF")[1]
        self.assertRegex(out, r"^open pending,job-\S+ cancelled cancelled,job-canceled-by-user")


if __name__ == "__main__":
    unittest.main()
