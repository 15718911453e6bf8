#!/usr/bin/python3
"""A real browser end to end: headless Chromium loads the demo page from the backend, the page
connects to the agent and sends a PDF request, the backend receives the PDF; and the client module
itself, driven by test pages against the real agent: a page of an allowed site, and one of a site the
agent refuses that also tries a port where nothing listens (yet), and one of a site the user on the
desktop is asked about (Xvfb), which hears "awaiting-permission" and gets in once allowed.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_browser.py -v [Class]
"""
import contextlib
import functools
import http.server
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import unittest
import urllib.parse

from harness import HERE, AgentCase, AgentRun, make_program_folder, pdf_text, setup_cups, unique
from agentproc import free_port, read_ini, wait_for, write_ini
from backendproc import DEMO_WEB
import test_site_question as site_question
from templateserver import TemplateServer

CHROMIUM = os.environ.get("VEROLUX_CHROMIUM", "/usr/bin/chromium")


@contextlib.contextmanager
def chromium(url, log_path, *extra):
    """Headless Chromium on url until the block ends; a debugging port keeps it running meanwhile."""
    profile = tempfile.mkdtemp(prefix="verolux-chromium-")
    log = open(log_path, "wb")
    extra = extra or ("--remote-debugging-port=0",)
    browser = subprocess.Popen([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                "--user-data-dir=" + profile, *extra, url],
                               stdout=log, stderr=subprocess.STDOUT, start_new_session=True,
                               env=dict(os.environ, TMPDIR=profile))  # its scratch folders go with the profile
    try:
        yield browser
    finally:
        # The browser and its helper processes share the session we started it in.
        try:
            os.killpg(browser.pid, signal.SIGTERM)
            browser.wait(10)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            if browser.poll() is None:
                os.killpg(browser.pid, signal.SIGKILL)
                browser.wait()
        log.close()
        shutil.rmtree(profile, ignore_errors=True)


class PageServer(http.server.ThreadingHTTPServer):
    """Serves the client module and its test pages from a folder of their own; keeps what the pages post."""

    def __init__(self, root):
        for path in (os.path.join(HERE, "client_page.html"), os.path.join(HERE, "client_failures.html"),
                     os.path.join(HERE, "client_permission.html"), os.path.join(HERE, "client_ports.html"),
                     os.path.join(DEMO_WEB, "verolux-client.js")):
            shutil.copy(path, root)
        self.reports = []
        owner = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_POST(self):
                owner.reports.append(json.loads(self.rfile.read(int(self.headers["Content-Length"]))))
                self.send_response(204)
                self.end_headers()

        super().__init__(("127.0.0.1", 0), functools.partial(Handler, directory=root))
        self.base = "http://127.0.0.1:%d" % self.server_address[1]
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def report(self, n, timeout=90):
        """The page's n-th report (from 1), once it has posted it; None after timeout seconds."""
        return self.reports[n - 1] if wait_for(lambda: len(self.reports) >= n, timeout) else None

    def close(self):
        self.shutdown()
        self.server_close()


class Browser(AgentCase):
    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(CHROMIUM):
            raise unittest.SkipTest("no chromium at " + CHROMIUM)
        try:  # the page lists the printers: the cups-pdf queue where a scheduler can run, else none
            setup_cups(cls.queue)
            cls.cups = True
        except unittest.SkipTest:
            cls.cups = False
        super().setUpClass()
        # Only listed sites (and the backend's) may connect: a page of any other is refused at once.
        settings = read_ini(cls.folder)
        settings["Verolux"]["SitePolicy"] = "listed"
        write_ini(cls.folder, settings)

    def serve_pages(self):
        os.makedirs(os.path.join(self.work, "pages"), exist_ok=True)
        pages = PageServer(os.path.join(self.work, "pages"))
        self.addCleanup(pages.close)
        return pages

    def test_demo_page_sends_a_pdf_request(self):
        report_id = unique("browser")
        query = urllib.parse.urlencode({"agent": self.agent.port, "auto": "pdf", "template": "orders.grf",
                                        "rows": 5, "reportId": report_id})
        with chromium("%s/?%s" % (self.backend.base, query), os.path.join(self.work, "chromium.log")):
            record = self.backend.wait_upload(report_id, timeout=90)
        self.assertIsNotNone(record, "the page's request never produced an upload (agent replies: %r)"
                             % self.clients.messages(0))
        self.assertEqual("/upload/pdf", record["path"])
        text = pdf_text(self.backend.uploaded_file(report_id))
        # The page's sample rows: order numbers SO0100000 … SO0100004.
        for i in range(5):
            self.assertIn("SO%07d" % (100000 + i), text)
        self.assertNotIn("SO0100005", text)
        # The page's job is its own: nothing comes back to the other clients.
        self.assertEqual([[], []], self.settle())

    def test_client_module(self):
        pages = self.serve_pages()
        self.allow_site(pages.base)  # the test page's own site, not the backend's
        report_id = unique("client")
        slow = TemplateServer(b"")  # trickles a template until the page takes its job back
        self.addCleanup(slow.close)
        query = urllib.parse.urlencode({"agent": self.agent.port, "backend": self.backend.base, "reportId": report_id,
                                        "slow": slow.url("/slow/slow.grf")})
        with chromium("%s/client_page.html?%s" % (pages.base, query), os.path.join(self.work, "client.log")):
            r = pages.report(1)
        self.assertIsNotNone(r, "the test page never reported")
        keys = ["preview", "repname", "reptype", "reguserno", "reprintname", "sdesign", "reporturl", "reportmd5",
                "reportId", "reportAdd", "repdata", "company"]
        for mode, (preview, sdesign) in {"print": ("", "0"), "preview": ("1", "0"), "pdf": ("2", "0"),
                                         "design": ("", "1")}.items():
            built = r["built"][mode]
            self.assertEqual(keys, list(built), mode)  # the ten named keys, rows, then parameters
            self.assertEqual((preview, sdesign, "7", "P", "ABC"), (built["preview"], built["sdesign"], built["reportId"],
                                                                    built["reprintname"], built["reportmd5"]))
        # connect() resolved once the agent had said hello; the page's close() is all that came after.
        self.assertEqual(("open", "Verolux"), (r["connected"]["state"], r["connected"]["hello"]["agent"]))
        self.assertEqual(["closed"], r["connection"])
        self.assertEqual("Verolux", r["info"]["value"]["agent"])
        # Requests that cannot work are refused in the page: an unknown mode, a PDF without the URL it
        # is uploaded to, a design without its id; none of them reaches the agent.
        for name in ("unknownMode", "pdfBuiltWithoutUpload", "designBuiltWithoutId", "pdfWithoutUpload",
                     "pdfTextWithoutUpload"):
            self.assertEqual(("bad-request", True), (r[name]["error"]["code"], r[name]["error"]["isVeroluxError"]),
                             name)
        self.assertIn('unknown mode "pfd"', r["unknownMode"]["error"]["message"])
        self.assertIn("reportAdd", r["pdfWithoutUpload"]["error"]["message"])
        self.assertNotIn("never-sent-1", r["jobIds"])
        self.assertNotIn("never-sent-2", r["jobIds"])
        self.assertIn(r["pdf"]["value"]["jobId"], r["jobIds"])  # it did hear the job it sent after them
        if self.cups:
            self.assertIn(self.queue, [p["name"] for p in r["printers"]["value"]], r["printers"])
        else:
            self.assertEqual({"code": "printers-unavailable", "isVeroluxError": True,
                              "message": "cannot list the printers: the print service (CUPS) is not running"},
                             r["printers"]["error"])
        self.assertEqual(("uploaded", 200, report_id),
                         (r["pdf"]["value"]["state"], r["pdf"]["value"]["httpStatus"], r["pdf"]["value"]["reportId"]))
        self.assertEqual(["accepted", "uploaded"], r["pdfStates"])
        self.assertIsNotNone(self.backend.uploads_for(report_id))
        self.assertEqual({"code": "template-not-found", "message": "找不到报表文件:no-such-template.grf",
                          "isVeroluxError": True}, r["missing"]["error"])
        self.assertEqual("bad-request", r["badCopies"]["error"]["code"])
        self.assertEqual(("cancelled", ["accepted", "cancelled"]), (r["cancelled"]["error"]["code"], r["cancelledStates"]))
        self.assertEqual("cancelled", r["cancelledBeforeSent"]["error"]["code"])
        self.assertNotIn("never-sent-3", r["jobIds"])

    def test_client_without_an_agent_and_refused(self):
        pages = self.serve_pages()
        site = "http://site.test:%d" % pages.server_address[1]  # not listed; served from here all the same
        dead = free_port()
        query = urllib.parse.urlencode({"agent": self.agent.port, "dead": dead})
        with chromium("%s/client_failures.html?%s" % (site, query), os.path.join(self.work, "failures.log"),
                      "--remote-debugging-port=0", "--host-resolver-rules=MAP site.test 127.0.0.1"):
            r = pages.report(1)
            self.assertIsNotNone(r, "the test page never reported")
            # Nothing listens: told at the first failed attempt, and the agent object goes on trying.
            self.assertEqual(("agent-unavailable", True), (r["unavailable"]["code"], r["unavailable"]["isVeroluxError"]))
            self.assertIn(r["unavailable"]["state"], ("closed", "connecting"))
            # The site is refused: told apart from no agent, and not tried again.
            for name in ("refused", "refusedAgain", "refusedPrinters"):
                self.assertEqual(("site-refused", True), (r[name]["code"], r[name]["isVeroluxError"]), name)
            self.assertEqual("refused", r["refused"]["state"])
            print("\nno agent: rejected after %.1f ms; refused site: after %.1f ms"
                  % (r["unavailable"]["ms"], r["refused"]["ms"]), file=sys.stderr)

            # An agent that starts later where nothing listened is picked up; this one lets the site in.
            folder = make_program_folder(os.path.join(self.work, "later"), self.backend)
            settings = read_ini(folder)
            settings["Sites"] = {site: "1"}
            write_ini(folder, settings)
            later = AgentRun(folder, dead)
            self.addCleanup(later.stop)
            r = pages.report(2)
        self.assertIsNotNone(r, "the page never connected to the agent started later")
        self.assertEqual({"state": "open", "agent": "Verolux"}, r["later"])
        self.assertEqual([], r["refusedStatesAfter"], "a refused page does not try again")

    def test_client_tries_the_ports_and_keeps_the_agent_that_accepts(self):
        pages = self.serve_pages()
        self.allow_site(pages.base)
        # Accepts and resets at once, as the agent of another user on this machine does.
        closer = socket.create_server(("127.0.0.1", 0))
        self.addCleanup(closer.close)

        def reset_all():
            while True:
                try:
                    conn, _ = closer.accept()
                except OSError:
                    return
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                conn.close()
        thread = threading.Thread(target=reset_all, daemon=True)
        thread.start()
        # Wakes the accept before the descriptor goes: a reused one must not be accepted on.
        self.addCleanup(thread.join, 10)
        self.addCleanup(closer.shutdown, socket.SHUT_RDWR)
        query = urllib.parse.urlencode({"dead": free_port(), "closer": closer.getsockname()[1], "agent": self.agent.port})
        with chromium("%s/client_ports.html?%s" % (pages.base, query), os.path.join(self.work, "ports.log")):
            r = pages.report(1)
        self.assertIsNotNone(r, "the test page never reported")
        self.assertEqual(("ws://127.0.0.1:%d/" % self.agent.port, self.agent.port), (r["found"]["url"], r["found"]["helloPort"]))
        self.assertEqual("agent-unavailable", r["none"]["code"])
        print("\nagent found on the third port after %.1f ms; none among two ports: told after %.1f ms"
              % (r["found"]["ms"], r["none"]["ms"]), file=sys.stderr)


class BrowserAsked(AgentCase):
    """The default policy on a desktop: the agent asks its user about a site it does not know."""
    display = "wm"

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(CHROMIUM):
            raise unittest.SkipTest("no chromium at " + CHROMIUM)
        super().setUpClass()

    def test_client_awaits_permission_then_connects(self):
        os.makedirs(os.path.join(self.work, "pages"), exist_ok=True)
        pages = PageServer(os.path.join(self.work, "pages"))
        self.addCleanup(pages.close)
        site = "http://asked.test:%d" % pages.server_address[1]
        query = urllib.parse.urlencode({"agent": self.agent.port})
        with chromium("%s/client_permission.html?%s" % (site, query), os.path.join(self.work, "permission.log"),
                      "--remote-debugging-port=0", "--host-resolver-rules=MAP asked.test 127.0.0.1"):
            r = pages.report(1)
            self.assertIsNotNone(r, "the test page never reported")
            self.assertEqual({"code": "awaiting-permission", "isVeroluxError": True, "state": "awaiting-permission"},
                             r["awaiting"])
            self.wait_window(site_question.QUESTION)  # still up while the page tries again
            self.assertTrue(wait_for(lambda: len(pages.reports) >= 2 or site_question.click_question(self.x, "allow"),
                                     30, 0.1), "the page never connected once allowed")
            r = pages.report(2)
        self.assertEqual("Verolux", r["hello"])
        self.assertEqual(["open", "closed"], r["states"], "no state events while it tried again")
        self.assertFalse(self.x.find(site_question.QUESTION))


if __name__ == "__main__":
    unittest.main()
