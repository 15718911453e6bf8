"""Headless Chromium: a page of the backend's site or of this machine talks to the real agent; another
site's is refused."""
import http.server
import os
import queue
import sys
import threading
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "e2e")]
from wsagent import REPLY, AgentCase  # noqa: E402
from test_browser import chromium  # noqa: E402

PAGE_MESSAGE = "chromium page says 你好，打印"


class Pages(http.server.SimpleHTTPRequestHandler):
    """page.html of this folder; /done?... is what the page reports."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=HERE, **kwargs)

    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path != "/done":
            return super().do_GET()
        self.server.reports.put(urllib.parse.parse_qs(url.query))
        self.send_response(204)
        self.end_headers()


class ChromiumPage(AgentCase):
    """Pages served from 127.0.0.1:P, which is the backend's site (WebsUrl), from localhost:P, which is
    this machine, or under another name of this machine, which is another site: it is refused without a
    desktop to ask on."""

    @classmethod
    def setUpClass(cls):
        cls.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Pages)
        cls.httpd.reports = queue.Queue()
        threading.Thread(target=cls.httpd.serve_forever, daemon=True).start()
        cls.settings = {"AppInfo": {"WebsUrl": "http://127.0.0.1:%d" % cls.httpd.server_address[1]}}
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.httpd.shutdown()
        cls.httpd.server_close()

    def page_report(self, host):
        url = "http://%s:%d/page.html?port=%d" % (host, self.httpd.server_address[1], self.port)
        with chromium(url, os.path.join(self.folder, "chromium.log"), "--remote-debugging-port=0",
                      "--host-resolver-rules=MAP othersite.test 127.0.0.1"):
            return self.httpd.reports.get(timeout=90)

    def test_page_of_the_backends_site_sends_and_gets_the_reply(self):
        self.assertEqual(self.page_report("127.0.0.1"), {"reply": [REPLY]})
        # The page's message, and the one it sent back with the reply it got, arrived whole.
        lines = self.wait_log(lambda ls: ("chromium page got:" + REPLY) in ls, what="the page's second message")
        self.assert_delivered_once(lines, [PAGE_MESSAGE, "chromium page got:" + REPLY])

    def test_page_served_from_this_machine_is_trusted(self):
        self.assertEqual(self.page_report("localhost"), {"reply": [REPLY]})

    def test_page_of_another_site_is_refused(self):
        self.assertEqual(self.page_report("othersite.test"), {"close": ["4403 site-refused"]})
        self.assertNotIn(PAGE_MESSAGE, self.log_lines())


if __name__ == "__main__":
    unittest.main(verbosity=2)
