#!/usr/bin/python3
"""The demo backend over real sockets: templates, uploads, update answers, failures on request.

Run: VEROLUX_DEMO_BACKEND=build/bin/verolux-demo-backend /usr/bin/python3 test_demo_backend.py -v [Class]
"""
import base64
import hashlib
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

BACKEND = os.environ.get("VEROLUX_DEMO_BACKEND", "")
WEB_DIR = os.environ.get("VEROLUX_DEMO_WEB", os.path.join(os.path.dirname(__file__), "../../demo/web"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from backendproc import Backend  # noqa: E402

SEPARATOR = "\u203b"  # the update query's reference mark between kind and version


class DemoBackend(Backend):
    """The shared backend with an empty template folder and the calls these tests make."""

    def get(self, target):
        return self.exchange("GET", target)

    def post_json(self, target, text, timeout=30):
        data = text.encode("utf-8") if isinstance(text, str) else text
        return self.exchange("POST", target, data, {"Content-Type": "application/json; charset=UTF-8"}, timeout)

    def arm(self, **params):
        status, _, body = self.exchange("POST", "/api/fail?" + urllib.parse.urlencode(params), b"")
        assert status == 200, body
        return json.loads(body)


def upload_body(content, report_id, extra=""):
    # Byte for byte the form the agent builds: one blank after the brace, no other white space.
    # The agent escapes the id; for ordinary ids that changes nothing.
    return '{ "st1":"%s","st0":%s,"st2":"%s"}' % (base64.b64encode(content).decode(),
                                                  json.dumps(report_id, ensure_ascii=False), extra)


def md5_upper(data):
    return hashlib.md5(data).hexdigest().upper()


class BackendCase(unittest.TestCase):
    web_dir = None

    @classmethod
    def setUpClass(cls):
        if not BACKEND or not os.access(BACKEND, os.X_OK):
            raise unittest.SkipTest("set VEROLUX_DEMO_BACKEND to the built verolux-demo-backend")
        cls.tmp = tempfile.mkdtemp(prefix="vx-demo-test-")
        cls.backend = DemoBackend(BACKEND, cls.tmp, cls.web_dir or os.path.join(cls.tmp, "web"), templates=None)
        cls.orders = json.dumps({"name": "orders", "fields": ["customer", "qty"]}).encode()
        with open(os.path.join(cls.backend.templates, "orders.grf"), "wb") as f:
            f.write(cls.orders)
        cls.binary = bytes(random.Random(7).randrange(256) for _ in range(5000))
        with open(os.path.join(cls.backend.templates, "labels.grf"), "wb") as f:
            f.write(cls.binary)
        # Outside every served folder: must never come back.
        with open(os.path.join(cls.tmp, "secret.txt"), "wb") as f:
            f.write(b"SECRET")

    @classmethod
    def tearDownClass(cls):
        cls.backend.stop()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.backend.reset()


class TemplateServing(BackendCase):
    def test_serves_file_bytes_and_counts_each_download(self):
        for _ in range(3):
            status, _, body = self.backend.get("/templates/orders.grf")
            self.assertEqual((status, body), (200, self.orders))
        status, _, body = self.backend.get("/templates/labels.grf")
        self.assertEqual((status, body), (200, self.binary))
        self.assertEqual(self.backend.stats()["downloads"], {"orders.grf": 3, "labels.grf": 1})

    def test_missing_template_is_404_and_still_counted(self):
        # The agent's store tests count attempts, failed ones included.
        status, _, _ = self.backend.get("/templates/nope.grf")
        self.assertEqual(status, 404)
        self.assertEqual(self.backend.stats()["downloads"], {"nope.grf": 1})

    def test_list_gives_url_and_upper_case_md5(self):
        status, headers, body = self.backend.get("/api/templates")
        self.assertEqual(status, 200)
        listing = {t["name"]: t for t in json.loads(body)}
        self.assertEqual(sorted(listing), ["labels.grf", "orders.grf"])
        self.assertEqual(listing["orders.grf"]["md5"], md5_upper(self.orders))
        self.assertRegex(listing["labels.grf"]["md5"], r"^[0-9A-F]{32}$")
        url = urllib.parse.urlsplit(listing["labels.grf"]["url"])
        self.assertEqual(url.port, self.backend.port)
        self.assertEqual(self.backend.get(url.path)[2], self.binary)

    def test_names_that_leave_the_folder_are_refused(self):
        # The full name rules are a unit test (DemoBackendUnitTest); here, each served folder refuses.
        targets = {
            "templates, encoded dot-dot": "/templates/..%2Fsecret.txt",
            "templates, raw dot-dot": "/templates/../secret.txt",
            "templates, absolute": "/templates/%2Fetc%2Fpasswd",
            "uploads": "/uploads/..%2Fsecret.txt",
            "releases": "/releases/..%2Fsecret.txt",
            "web": "/..%2Fsecret.txt",
        }
        for name, target in targets.items():
            with self.subTest(name):
                status, _, body = self.backend.get(target)
                self.assertEqual(status, 404)
                self.assertNotIn(b"SECRET", body)
                self.assertNotIn(b"root:", body)


class Uploads(BackendCase):
    def stored(self, name):
        with open(os.path.join(self.backend.uploads, name), "rb") as f:
            return f.read()

    def test_pdf_body_as_the_agent_sends_it(self):
        # reportId 7 and the bytes "abc" give exactly this body.
        status, _, body = self.backend.post_json("/upload/pdf", '{ "st1":"YWJj","st0":"7","st2":""}')
        self.assertEqual(status, 200)
        self.assertIn(b"success", body)
        self.assertEqual(self.stored("7.pdf"), b"abc")
        (record,) = self.backend.stats()["uploads"]
        self.assertEqual((record["path"], record["st0"], record["st2"], record["kind"], record["file"], record["size"]),
                         ("/upload/pdf", "7", "", "pdf", "7.pdf", 3))
        self.assertEqual(record["contentType"], "application/json; charset=UTF-8")

    def test_template_body_with_md5_is_stored_as_grf(self):
        content = b'{"edited":true}'
        status, _, body = self.backend.post_json("/upload/template", upload_body(content, "R-100", md5_upper(content)))
        self.assertEqual(status, 200)
        self.assertIn(b"success", body)
        self.assertEqual(self.stored("R-100.grf"), content)
        (record,) = self.backend.stats()["uploads"]
        self.assertEqual((record["kind"], record["st2"], record["md5"]), ("template", md5_upper(content), md5_upper(content)))

    def test_binary_contents_of_every_padding_length_come_back_unchanged(self):
        rng = random.Random(3)
        for size in (1, 2, 3, 300001):  # every padding length; the decoder's table is a unit test
            with self.subTest(size=size):
                content = bytes(rng.randrange(256) for _ in range(size))
                status, _, _ = self.backend.post_json("/upload/pdf", upload_body(content, "bin%d" % size))
                self.assertEqual(status, 200)
                self.assertEqual(self.stored("bin%d.pdf" % size), content)
                status, headers, served = self.backend.get("/uploads/bin%d.pdf" % size)
                self.assertEqual((status, served), (200, content))
                self.assertEqual(headers["Content-Type"], "application/pdf")

    def test_large_upload(self):
        content = os.urandom(40 * 1024 * 1024)
        # 40 MiB of Base64 to decode: give a sanitizer build on a busy machine time.
        status, _, body = self.backend.post_json("/upload/pdf", upload_body(content, "big"), timeout=300)
        self.assertEqual(status, 200, body)
        self.assertEqual(md5_upper(self.stored("big.pdf")), md5_upper(content))

    def test_report_id_that_is_no_plain_name_stays_in_the_uploads_folder(self):
        # How ids are made plain is a unit test; here the file lands inside the uploads folder.
        status, _, _ = self.backend.post_json("/upload/pdf", upload_body(b"%PDF", "../evil"))
        self.assertEqual(status, 200)
        self.assertEqual(self.stored(".._evil.pdf"), b"%PDF")
        self.assertEqual(sorted(os.listdir(self.tmp)), ["backend.log", "releases", "secret.txt", "templates",
                                                        "uploads", "web"])

    def test_bad_bodies_are_refused_without_success(self):
        # The parser's full table is a unit test (DemoBackendUnitTest); here: the HTTP answer,
        # and nothing stored.
        good = base64.b64encode(b"abcd").decode()
        bodies = {
            "not json": "st1=YWJj",
            "padding inside": '{ "st1":"YW==YWJj","st0":"7","st2":""}',
            "id of dots": '{ "st1":"%s","st0":"..","st2":""}' % good,
            "empty body": "",
        }
        for name, text in bodies.items():
            with self.subTest(name):
                status, _, body = self.backend.post_json("/upload/pdf", text)
                self.assertEqual(status, 400)
                self.assertNotIn(b"success", body)
        self.assertEqual(self.backend.stats()["uploads"], [])
        self.assertEqual(os.listdir(self.backend.uploads), [])

    def test_upload_list_links_the_files_newest_first(self):
        self.backend.post_json("/upload/pdf", upload_body(b"one", "first"))
        time.sleep(0.05)
        self.backend.post_json("/upload/pdf", upload_body(b"two", "second"))
        status, _, body = self.backend.get("/api/uploads")
        listing = [entry for entry in json.loads(body) if entry["name"] in ("first.pdf", "second.pdf")]
        self.assertEqual([e["name"] for e in listing], ["second.pdf", "first.pdf"])
        self.assertEqual(self.backend.get(urllib.parse.urlsplit(listing[1]["url"]).path)[2], b"one")

    def test_template_saved_under_a_sample_name_is_served_in_its_place(self):
        edited = b'{"name":"orders","edited":1}'
        try:
            self.backend.post_json("/upload/template", upload_body(edited, "orders", md5_upper(edited)))
            self.assertEqual(self.backend.get("/templates/orders.grf")[2], edited)
            listing = {t["name"]: t for t in json.loads(self.backend.get("/api/templates")[2])}
            self.assertEqual((listing["orders.grf"]["md5"], listing["orders.grf"]["edited"]), (md5_upper(edited), True))
        finally:
            os.remove(os.path.join(self.backend.uploads, "orders.grf"))
        self.assertEqual(self.backend.get("/templates/orders.grf")[2], self.orders)


class UpdateQuery(BackendCase):
    def setUp(self):
        super().setUp()
        for name in os.listdir(self.backend.releases):
            os.remove(os.path.join(self.backend.releases, name))

    def query(self, kind, version):
        target = "/basedata/v1/update/getLastUpdate/" + urllib.parse.quote(kind + SEPARATOR + version)
        status, _, body = self.backend.post_json(target, "{}")
        self.assertEqual(status, 200)
        return body

    def test_answer_from_latest_file_points_at_the_release(self):
        with open(os.path.join(self.backend.releases, "latest-2.json"), "w") as f:
            f.write('{"ver":"1.2.3","url":"${BASE}/releases/Kestrane","file":"Kestrane"}')
        with open(os.path.join(self.backend.releases, "Kestrane"), "wb") as f:
            f.write(b"\x7fELF new launcher")
        answer = json.loads(self.query("2", "1.0.0"))
        self.assertEqual(answer, {"ver": "1.2.3", "url": self.backend.base + "/releases/Kestrane",
                                  "file": "Kestrane"})
        status, _, body = self.backend.get(urllib.parse.urlsplit(answer["url"]).path)
        self.assertEqual((status, body), (200, b"\x7fELF new launcher"))
        stats = self.backend.stats()
        (query,) = stats["updateQueries"]
        self.assertEqual((query["kind"], query["version"], query["separator"], query["body"]), ("2", "1.0.0", True, "{}"))
        self.assertIn("%E2%80%BB", query["target"])
        self.assertEqual(stats["releaseDownloads"], {"Kestrane": 1})

    def test_no_latest_file_gives_empty_answer(self):
        self.assertEqual(json.loads(self.query("1", "1.0.0")), {"ver": "", "url": "", "file": ""})

    def test_separator_sent_as_raw_utf8_is_understood(self):
        request = ("POST /basedata/v1/update/getLastUpdate/1" + SEPARATOR + "9.8.7 HTTP/1.1\r\n"
                   "Host: 127.0.0.1\r\nContent-Type: application/json; charset=UTF-8\r\n"
                   "Content-Length: 2\r\nConnection: close\r\n\r\n{}").encode("utf-8")
        reply = self.backend.raw(request)
        self.assertTrue(reply.startswith(b"HTTP/1.1 200"), reply[:100])
        (query,) = self.backend.stats()["updateQueries"]
        self.assertEqual((query["kind"], query["version"]), ("1", "9.8.7"))

    def test_latest_file_is_passed_on_as_it_stands(self):
        # Lets tests hand the client answers that are no JSON at all.
        with open(os.path.join(self.backend.releases, "latest-1.json"), "w") as f:
            f.write("<html>maintenance</html>")
        self.assertEqual(self.query("1", "1.0.0"), b"<html>maintenance</html>")


class FailureInjection(BackendCase):
    def test_500_for_the_next_n_requests_under_the_prefix(self):
        self.backend.arm(mode="500", path="/templates/", count=2)
        self.assertEqual(self.backend.get("/releases/none")[0], 404)  # other prefix: untouched
        for _ in range(2):
            status, headers, body = self.backend.get("/templates/orders.grf")
            self.assertEqual(status, 500)
            self.assertIn(b"<html>", body)
            self.assertTrue(headers["Content-Type"].startswith("text/html"))
        self.assertEqual(self.backend.get("/templates/orders.grf")[2], self.orders)
        self.assertEqual(self.backend.stats()["downloads"], {"orders.grf": 3})

    def test_slow_answers_after_the_delay(self):
        self.backend.arm(mode="slow", path="/templates/orders", delay_ms=700)
        start = time.monotonic()
        status, _, body = self.backend.get("/templates/orders.grf")
        self.assertGreaterEqual(time.monotonic() - start, 0.7)
        self.assertEqual((status, body), (200, self.orders))
        start = time.monotonic()
        self.backend.get("/templates/orders.grf")
        self.assertLess(time.monotonic() - start, 0.5)

    def test_drop_closes_without_a_single_byte(self):
        self.backend.arm(mode="drop", path="/templates/")
        reply = self.backend.raw(b"GET /templates/orders.grf HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertEqual(reply, b"")
        self.assertTrue(self.backend.raw(b"GET /templates/orders.grf HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                        .startswith(b"HTTP/1.1 200"))

    def test_garbage_has_the_length_but_not_the_bytes(self):
        self.backend.arm(mode="garbage", path="/templates/labels")
        status, _, body = self.backend.get("/templates/labels.grf")
        self.assertEqual((status, len(body)), (200, len(self.binary)))
        self.assertNotEqual(md5_upper(body), md5_upper(self.binary))

    def test_json_body_arms_too_and_none_or_reset_clears(self):
        status, _, body = self.backend.post_json("/api/fail", json.dumps({"mode": "500", "path": "/templates/", "count": -1}))
        self.assertEqual(status, 200)
        for _ in range(3):
            self.assertEqual(self.backend.get("/templates/orders.grf")[0], 500)
        self.backend.arm(mode="none", path="/templates/")
        self.assertEqual(self.backend.get("/templates/orders.grf")[0], 200)
        self.backend.arm(mode="drop", path="", count=-1)
        self.assertEqual(self.backend.get("/api/stats")[0], 200)  # control paths never fail
        self.backend.reset()
        self.assertEqual(self.backend.get("/templates/orders.grf")[0], 200)
        for query in ("mode=explode", "mode=500&count=x", "mode=slow&delay_ms=-5"):
            self.assertEqual(self.backend.request("POST", "/api/fail?" + query, b"")[0], 400, query)

class DemoPage(BackendCase):
    web_dir = os.path.abspath(WEB_DIR)

    def test_page_and_script_are_served(self):
        status, headers, body = self.backend.get("/")
        self.assertEqual(status, 200)
        self.assertTrue(headers["Content-Type"].startswith("text/html"))
        self.assertIn(b"verolux-client.js", body)
        status, headers, body = self.backend.get("/verolux-client.js")
        self.assertEqual((status, headers["Content-Type"].split(";")[0]), (200, "text/javascript"))
        self.assertIn(b"export function connect", body)
        self.assertEqual(200, self.backend.get("/verolux-client.d.ts")[0])
        self.assertEqual(200, self.backend.get("/install.html")[0])

    @unittest.skipUnless(shutil.which("chromium"), "chromium not installed")
    def test_page_builds_buttons_and_points_to_the_install_steps_without_an_agent(self):
        profile = tempfile.mkdtemp(prefix="vx-chromium-")
        try:
            dom = subprocess.run(
                ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--virtual-time-budget=4000", "--dump-dom",
                 self.backend.base + "/?agent=1"],
                capture_output=True, timeout=60).stdout.decode()
        finally:
            shutil.rmtree(profile, ignore_errors=True)
        # One card per template, each with its four actions.
        for name in ("orders.grf", "labels.grf"):
            self.assertIn('data-template="%s"' % name, dom)
        self.assertEqual(dom.count('data-action="pdf"'), 2)
        self.assertEqual(dom.count('data-action="design"'), 2)
        # Nothing listens on port 1: the hint shows, with its link.
        hint = re.search(r'<p id="no-agent"[^>]*>', dom).group(0)
        self.assertNotIn("hidden", hint)
        self.assertIn('href="install.html"', dom)


if __name__ == "__main__":
    unittest.main()
