"""The Windows programs under Wine, end to end: the Windows launcher starts the Windows agent from a
program folder with a Chinese name; a Linux WebSocket client on 127.0.0.1 sends a PDF request; the
agent fetches the template from the Linux demo backend and uploads the export, whose pages match the
Linux agent's export of the same request pixel for pixel within a tolerance. A second start of the
launcher finds the running agent's window by its caption and starts nothing.

Run by scripts/windows/test.sh under a virtual X display (Wine draws there), with WINEPREFIX set to a
prefix of the test's own. VEROLUX_WINDOWS_DEPLOY names the deploy folder, VEROLUX_BIN_DIR the Linux
build's programs (Verolux, verolux-demo-backend)."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "support"))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))

from agentproc import Agent, free_port, read_ini, wait_for, wait_port, write_ini  # noqa: E402
from backendproc import Backend  # noqa: E402
from wsclients import Clients  # noqa: E402

WINE = "/usr/lib/wine/wine64"
DEPLOY = os.environ.get("VEROLUX_WINDOWS_DEPLOY", os.path.join(SOURCE_DIR, "build", "windows", "deploy"))
LINUX_BIN = os.environ.get("VEROLUX_BIN_DIR", os.path.join(SOURCE_DIR, "build", "dev", "bin"))
# Pages are compared at 50 dpi in grey: a pixel differs when its grey values are more than 64 apart,
# and a page matches when under this share of its pixels differ (glyph edges of the two font
# rasterisers; a moved line or a missing word is far above it).
DPI, PIXEL_STEP, PAGE_TOLERANCE = 50, 64, 0.01


def rows(count):
    names = ["上海华东贸易有限公司", "Northwind Traders", "北京中关村电子商城"]
    return [{"customer": names[i % 3], "orderNo": "WINE%06d" % i, "orderDate": "2024-03-%02d" % (1 + i % 28),
             "product": "激光打印机硒鼓" if i % 2 else "USB-C cable", "quantity": 1 + i % 9, "price": "19.90",
             "amount": "%.2f" % ((1 + i % 9) * 19.9)} for i in range(count)]


def request(backend, report_id):
    return {"preview": "2", "repname": "orders.grf", "reptype": "", "reguserno": "", "reprintname": "",
            "sdesign": "0", "reporturl": backend.template_url("orders.grf"), "reportmd5": "",
            "reportId": report_id, "reportAdd": backend.upload_url, "repdata": rows(40),
            "company": "维罗勒克斯 Windows 公司"}


def pages(pdf, out_prefix):
    subprocess.run(["pdftoppm", "-r", str(DPI), "-gray", pdf, out_prefix], check=True)
    folder, stem = os.path.split(out_prefix)
    return sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.startswith(stem + "-"))


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    while len(fields) < 4:  # P5 width height maxval, blank separated
        while data[at:at + 1].isspace():
            at += 1
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    return int(fields[1]), int(fields[2]), data[at + 1:]


def differing_share(a, b):
    wa, ha, pa = read_pgm(a)
    wb, hb, pb = read_pgm(b)
    if (wa, ha) != (wb, hb):
        return 1.0
    return sum(1 for x, y in zip(pa, pb) if abs(x - y) > PIXEL_STEP) / float(wa * ha)


def wine(args, env, **kw):
    return subprocess.run([WINE] + args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


def windows_pids(folder):
    """Unix processes of the Windows programs started from folder (Wine shows their Windows paths)."""
    tail = os.path.basename(folder)
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                cmd = f.read().decode("utf-8", "replace")
        except OSError:
            continue
        if "Verolux.exe" in cmd and tail in cmd:
            found.append(int(entry))
    return found


class WineEndToEnd(unittest.TestCase):
    def setUp(self):
        for tool in ("pdftoppm", "pdftotext"):
            if not shutil.which(tool):
                self.skipTest(tool + " missing")
        for exe in ("Verolux", "verolux-demo-backend"):
            if not os.path.exists(os.path.join(LINUX_BIN, exe)):
                self.skipTest("the Linux build's %s is missing (cmake --build --preset dev)" % exe)
        work = tempfile.TemporaryDirectory(prefix="verolux-wine-")
        self.addCleanup(work.cleanup)
        self.work = work.name
        self.backend = Backend(os.path.join(LINUX_BIN, "verolux-demo-backend"), os.path.join(self.work, "backend"))
        self.addCleanup(self.backend.stop)
        # The Windows programs, their DLLs and plugins, in a folder a Chinese user would have.
        self.folder = os.path.join(self.work, "用户 张伟", "维罗勒克斯")
        shutil.copytree(DEPLOY, self.folder)
        os.makedirs(os.path.join(self.folder, "report"))
        write_ini(self.folder, {"AppInfo": {"WebsUrl": self.backend.base}})
        self.port = free_port()
        self.env = dict(os.environ, VEROLUX_PORT=str(self.port))
        self.env.pop("VEROLUX_HOME", None)
        self.addCleanup(self.stop_windows_agent)

    def stop_windows_agent(self):
        for pid in windows_pids(self.folder):
            try:
                os.kill(pid, 9)
            except ProcessLookupError:
                pass
        wait_for(lambda: not windows_pids(self.folder), 10)

    def launch(self):
        # The launcher exits once it has started the agent (or found it running).
        done = wine([os.path.join(self.folder, "Kestrane.exe")], self.env, timeout=120)
        self.assertEqual(0, done.returncode)

    def export(self, port, report_id):
        clients = Clients(port, 1, timeout=30)
        try:
            clients.send(json.dumps(request(self.backend, report_id), ensure_ascii=False))
            record = self.backend.wait_upload(report_id, 180)
            self.assertIsNotNone(record, "no upload; agent replied %r" % clients.messages(0))
            self.assertEqual("pdf", record["kind"])
            self.assertEqual([], clients.messages(0), "success is not reported")
        finally:
            clients.close()
        return self.backend.uploaded_file(report_id)

    def test_launcher_starts_agent_which_exports_like_linux(self):
        self.launch()
        self.assertTrue(wait_port(self.port, 120), "the Windows agent does not listen")
        # The agent took the start request and recorded its version, the launcher its own.
        self.assertTrue(wait_for(lambda: read_ini(self.folder).get("AppInfo", {}).get("PrintVer"), 30))
        ini = read_ini(self.folder)
        self.assertEqual("0", ini["Verolux"]["Show"])
        self.assertEqual(ini["AppInfo"]["PrintVer"], ini["AppInfo"]["ShellVer"])

        windows_pdf = self.export(self.port, "wine-export")
        text = subprocess.run(["pdftotext", "-layout", windows_pdf, "-"], check=True, capture_output=True).stdout.decode()
        for needle in ("WINE000000", "WINE000039", "维罗勒克斯 Windows 公司", "上海华东贸易有限公司"):
            self.assertIn(needle, text)
        # The template came from the backend into the Chinese program folder's report/.
        self.assertTrue(os.path.isfile(os.path.join(self.folder, "report", "orders.grf")))

        # The same request through the Linux agent.
        linux_folder = os.path.join(self.work, "linux")
        os.makedirs(os.path.join(linux_folder, "report"))
        write_ini(linux_folder, {"AppInfo": {"WebsUrl": self.backend.base}, "Verolux": {"Show": "1"}})
        linux_port = free_port()
        linux = Agent(LINUX_BIN, linux_folder, linux_port, stderr_path=os.devnull)
        self.addCleanup(linux.stop)
        self.assertTrue(wait_port(linux_port, 30))
        linux_pdf = self.export(linux_port, "linux-export")

        shots = os.path.join(self.work, "pages")
        os.makedirs(shots)
        win_pages = pages(windows_pdf, os.path.join(shots, "win"))
        linux_pages = pages(linux_pdf, os.path.join(shots, "linux"))
        self.assertEqual(len(linux_pages), len(win_pages))
        self.assertGreater(len(win_pages), 1)
        shares = [differing_share(a, b) for a, b in zip(win_pages, linux_pages)]
        print("pages %d, differing pixels per page: %s" % (len(win_pages), ", ".join("%.4f" % s for s in shares)))
        for number, share in enumerate(shares, 1):
            self.assertLess(share, PAGE_TOLERANCE, "page %d differs" % number)

        # The idle agent's memory, for the record.
        pids = windows_pids(self.folder)
        if pids:
            with open("/proc/%d/status" % pids[0]) as f:
                rss = next((line.split()[1] for line in f if line.startswith("VmRSS:")), "?")
            print("Windows agent under Wine, resident at idle: %s kB" % rss)

        # A second start: the launcher finds the agent's window by its caption and starts nothing.
        self.launch()
        self.assertEqual("0", read_ini(self.folder)["Verolux"]["Show"])
        self.assertEqual(1, len(windows_pids(self.folder)))
        self.assertTrue(wait_port(self.port, 5))


if __name__ == "__main__":
    unittest.main()
