"""What the end-to-end tests share: the real agent in a throw-away program folder, the demo backend,
two connected WebSocket clients, and print requests for the sample templates."""
import itertools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))

from agentproc import Agent, free_port, read_bytes, stop_process, wait_for, wait_port, write_ini  # noqa: E402
from backendproc import Backend  # noqa: E402
from wsclients import Clients  # noqa: E402

BIN_DIR = os.environ.get("VEROLUX_BIN_DIR", "")
NOT_FOUND = "找不到报表文件:"
FAILED = "RepPrint 过程出错！"

_ids = itertools.count(1)


def unique(prefix):
    return "%s-%d-%d" % (prefix, os.getpid(), next(_ids))


def make_program_folder(work, backend):
    """work/prog with report/ (the agent never creates it) and the settings file, whose backend is
    the demo backend (so the demo page's site is trusted); the rest of `work` stays empty, so
    anything written beside the program folder shows."""
    folder = os.path.join(work, "prog")
    os.makedirs(os.path.join(folder, "report"))
    write_ini(folder, {"AppInfo": {"WebsUrl": backend.base}, "Verolux": {"Show": "1"}})
    return folder


def demo_pair(bin_dir, work):
    """The demo backend and an agent that trusts it, in `work`: for the benchmarks, outside a test case."""
    global BIN_DIR
    BIN_DIR = bin_dir
    backend = Backend(os.path.join(bin_dir, "verolux-demo-backend"), os.path.join(work, "backend"))
    folder = make_program_folder(os.path.join(work, "agent"), backend)
    return backend, AgentRun(folder, free_port(), None, os.path.join(work, "agent.stderr"))


def cpu_seconds(pid):
    """User and system time of a process so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class AgentRun(Agent):
    """The real Verolux binary, waited for until it listens; stderr into a file or nowhere."""

    def __init__(self, folder, port, display=None, stderr_path=None):
        super().__init__(BIN_DIR, folder, port, display=display, stderr_path=stderr_path or os.devnull)
        if not wait_port(port, 15):
            self.stop()
            raise RuntimeError("agent did not listen on %d" % port)

    def stop(self):
        super().stop(10)

    @property
    def report_dir(self):
        return os.path.join(self.folder, "report")


def order_rows(count, prefix="E2E"):
    """Rows for orders.grf; every order number is unique and searchable in the PDF text."""
    customers = ["上海华东贸易有限公司", "Northwind Traders", "北京中关村电子商城"]
    rows = []
    for i in range(count):
        qty = 1 + i % 9
        rows.append({"customer": customers[(i * len(customers)) // max(count, 1)],
                     "orderNo": "%s%06d" % (prefix, i), "orderDate": "2024-03-%02d" % (1 + i % 28),
                     "product": "激光打印机硒鼓" if i % 2 else "USB-C cable", "quantity": qty,
                     "price": "19.90", "amount": "%.2f" % (qty * 19.9)})
    return rows


def make_request(backend, repname, preview="2", report_id=None, rows=None, md5="", printer="",
                 reporturl=None, report_add=None, **params):
    """A print request with all ten named keys, rows and top-level parameters."""
    return dict({"preview": preview, "repname": repname, "reptype": "", "reguserno": "", "reprintname": printer,
                 "sdesign": "0", "reporturl": backend.template_url(repname) if reporturl is None else reporturl,
                 "reportmd5": md5, "reportId": unique("rep") if report_id is None else report_id,
                 "reportAdd": backend.upload_url if report_add is None else report_add,
                 "repdata": order_rows(3) if rows is None else rows}, **params)


def pdf_text(path):
    return subprocess.run(["pdftotext", "-layout", path, "-"], check=True, capture_output=True).stdout.decode()


def tree(root):
    """Every file and folder below root, as relative paths."""
    return {os.path.relpath(os.path.join(base, name), root) for base, dirs, files in os.walk(root) for name in dirs + files}


def setup_cups(queue):
    """Makes sure the scheduler runs and the cups-pdf queue accepts jobs; returns where its output
    lands. Skips the test class where that cannot be done (not root, no cups-pdf)."""
    setup = subprocess.run([os.path.join(HERE, "..", "support", "cups_setup.sh"), queue], capture_output=True, text=True)
    if setup.returncode == 77:
        raise unittest.SkipTest(setup.stderr.strip())
    if setup.returncode != 0:
        raise RuntimeError("CUPS setup failed: " + setup.stderr)
    return setup.stdout.strip().splitlines()[-1]


class AgentCase(unittest.TestCase):
    """One backend, one agent and two connected clients per test class; stats and inboxes are
    cleared before each test. Tests that need a fresh template use a name of their own."""

    display = None  # "x": a virtual X display of its own; "wm": with a window manager on it

    @classmethod
    def setUpClass(cls):
        if not BIN_DIR or not os.path.exists(os.path.join(BIN_DIR, "Verolux")):
            raise unittest.SkipTest("VEROLUX_BIN_DIR does not hold Verolux")
        cls.work = tempfile.mkdtemp(prefix="verolux-e2e-")
        try:
            cls.x = XServer(wm=cls.display == "wm") if cls.display else None
            cls.backend = Backend(os.path.join(BIN_DIR, "verolux-demo-backend"), os.path.join(cls.work, "backend"))
            cls.folder = make_program_folder(os.path.join(cls.work, "agent"), cls.backend)
            cls.agent = AgentRun(cls.folder, free_port(), cls.x and cls.x.display, os.path.join(cls.work, "agent.stderr"))
            cls.clients = Clients(cls.agent.port, 2)
        except Exception:
            cls._teardown()
            raise

    @classmethod
    def _teardown(cls):
        for name in ("clients", "agent", "backend", "x"):
            part = cls.__dict__.get(name)
            if part is not None:
                try:
                    part.close() if name == "clients" else part.stop()
                except Exception:
                    pass
        if os.environ.get("VEROLUX_KEEP"):
            print("kept", cls.work, file=sys.stderr)
        else:
            shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def tearDownClass(cls):
        cls._teardown()

    def setUp(self):
        self.assertTrue(self.agent.alive(), "the agent has exited")
        self.clients.clear()
        self.backend.reset()

    def allow_site(self, origin):
        """Lets the pages of a site other than the backend's in, as a [Sites] line of the settings does."""
        path = os.path.join(self.folder, "MyIni.ini")
        text = read_bytes(path)
        # Into the one [Sites] section: the agent reads the first section of a name only.
        if b"\r\n[Sites]\r\n" in b"\r\n" + text:
            text = (b"\r\n" + text).replace(b"\r\n[Sites]\r\n", ("\r\n[Sites]\r\n%s=1\r\n" % origin).encode(), 1)[2:]
        else:
            text += ("\r\n[Sites]\r\n%s=1\r\n" % origin).encode()
        with open(path + ".test", "wb") as f:
            f.write(text)
        os.replace(path + ".test", path)  # the agent reads the file whole or not at all

    def leftovers(self, name):
        """Files in the template folder whose names hold `name`."""
        return [f for f in os.listdir(self.agent.report_dir) if name in f]

    def wait_until(self, probe, what, timeout=30):
        """probe's first true result within timeout seconds; fails the test naming `what` after that."""
        found = []
        wait_for(lambda: found.append(probe()) or found[-1], timeout, 0.02)
        found = found[-1]
        self.assertTrue(found, "no %s within %ds; the agent said %r" % (what, timeout, self.clients.messages(0)))
        return found

    def wait_window(self, caption, timeout=30):
        """The id of the visible window of that caption."""
        return self.wait_until(lambda: self.x.find(caption), "window %r" % caption, timeout)[0]

    # ---- sending ------------------------------------------------------------------------------

    def send(self, request, client=0):
        text = request if isinstance(request, str) else json.dumps(request, ensure_ascii=False)
        self.clients.send(text, client)
        return text

    def send_pdf(self, request, timeout=60):
        """Sends a PDF request and returns the uploaded file's path once the backend has it."""
        self.send(request)
        record = self.backend.wait_upload(request["reportId"], timeout)
        self.assertIsNotNone(record, "no upload for %s; agent replied %r" % (request["reportId"], self.clients.messages(0)))
        self.assertEqual("pdf", record["kind"])
        return self.backend.uploaded_file(request["reportId"])

    def expect_reply(self, text, timeout=30):
        self.assertTrue(self.clients.wait_all(text, timeout),
                        "both clients should get %r; got %r / %r" % (text, self.clients.messages(0), self.clients.messages(1)))

    def settle(self):
        """Waits until the agent has finished everything sent before, and returns what the clients got
        until then. The agent works through its requests one by one, so the not-found reply of a
        request sent last arrives after every reply of the earlier ones."""
        name = unique("sentinel") + ".grf"
        self.send(make_request(self.backend, name, preview="2"), client=1)
        marker = NOT_FOUND + name
        self.expect_reply(marker)
        result = []
        for i in range(2):
            got = self.clients.messages(i)
            result.append(got[:got.index(marker)])
        return result


class XServer:
    """A virtual X display (Xvfb) of its own, optionally with openbox on it; Xvfb picks a free display
    number and reports it."""

    def __init__(self, screen="1400x1000x24", wm=False):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen,
                                      "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        self.wm = None
        if not number:
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        if wm:
            self.wm = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # A window mapped while the window manager still starts up may never be shown.
            if not wait_for(lambda: b"window id" in subprocess.run(
                    ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, capture_output=True).stdout, 30):
                self.stop()
                raise RuntimeError("openbox did not start")

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, capture_output=True,
                              text=True).stdout.split()

    def find(self, caption):
        """Ids of the visible windows of exactly that caption."""
        pattern = "^%s$" % re.sub(r"([][.()*+?^$|{}\\])", r"\\\1", caption)
        return self.xdotool("search", "--onlyvisible", "--name", pattern)

    def screenshot(self, path, window="root"):
        """The whole screen, or the window of that name."""
        if window != "root":
            window = self.find(window)[0]
        subprocess.run(["import", "-window", window, path], env=self.env, check=True)

    def stop(self):
        if self.wm:
            stop_process(self.wm, 10)
        stop_process(self.proc, 10)
