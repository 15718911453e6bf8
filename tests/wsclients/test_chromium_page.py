"""Headless Chromium: a page of the backend's site talks to the real agent; another site's is refused."""
import http.server
import os
import re
import subprocess
import tempfile
import threading
import unittest
import urllib.parse

from wsagent import DELIVERED_TEXT, REPLY, AgentCase, free_port

HERE = os.path.dirname(os.path.abspath(__file__))
CHROMIUM = os.environ.get("CHROMIUM", "/usr/bin/chromium")
PAGE_MESSAGE = "chromium page says 你好，打印"


class PageServer:
    """Serves page.html; /hold answers once the page has reported its reply on /done."""

    def __init__(self):
        self.done = threading.Event()
        self.reports = []
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                if url.path == "/page.html":
                    with open(os.path.join(HERE, "page.html"), "rb") as f:
                        self.answer(200, "text/html; charset=utf-8", f.read())
                elif url.path == "/done":
                    owner.reports.append(urllib.parse.parse_qs(url.query))
                    owner.done.set()
                    self.answer(204, "text/plain", b"")
                elif url.path == "/hold":
                    owner.done.wait(20)
                    self.answer(404, "text/plain", b"")
                else:
                    self.answer(404, "text/plain", b"")

            def answer(self, status, kind, body):
                self.send_response(status)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", free_port()), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class ChromiumPage(AgentCase):
    """Pages served from 127.0.0.1:P, which is the backend's site (WebsUrl), or from localhost:P,
    which is another site: it is refused without a desktop to ask on."""

    @classmethod
    def setUpClass(cls):
        cls.server = PageServer()
        cls.settings = {"AppInfo": {"WebsUrl": "http://127.0.0.1:%d" % cls.server.port}}
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.server.close()

    def dump_page(self, host):
        self.server.reports.clear()
        self.server.done.clear()
        profile = tempfile.TemporaryDirectory(prefix="verolux-chromium-")
        self.addCleanup(profile.cleanup)
        url = "http://%s:%d/page.html?port=%d" % (host, self.server.port, self.port)
        p = subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                            "--disable-background-networking", "--disable-component-update", "--disable-sync",
                            "--user-data-dir=" + profile.name, "--dump-dom", url],
                           capture_output=True, timeout=120)
        self.assertEqual(p.returncode, 0, p.stderr.decode("utf-8", "replace")[-2000:])
        return p.stdout.decode("utf-8"), self.server.reports

    def test_page_of_the_backends_site_sends_and_gets_the_reply(self):
        dom, reports = self.dump_page("127.0.0.1")
        self.assertEqual(reports, [{"reply": [REPLY]}], "the page reported the agent's reply")
        self.assertRegex(dom, r'<p id="reply">%s</p>' % re.escape(REPLY))
        # The page's message, and the one it sent back with the reply it got, arrived whole.
        lines = self.wait_log(lambda ls: ("chromium page got:" + REPLY) in ls, what="the page's second message")
        self.assert_delivered_once(lines, [PAGE_MESSAGE, "chromium page got:" + REPLY])
        self.assertEqual(lines.count(DELIVERED_TEXT), 2)

    def test_page_of_another_site_is_refused(self):
        dom, reports = self.dump_page("localhost")
        self.assertEqual(reports, [{"error": ["1"]}], "the page could not connect")
        self.assertNotIn(PAGE_MESSAGE, self.log_lines())


if __name__ == "__main__":
    unittest.main(verbosity=2)
