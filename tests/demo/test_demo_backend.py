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
        return self.exchange("POST", target, text.encode("utf-8"), {"Content-Type": "application/json; charset=UTF-8"},
                             timeout)


def upload_body(content, report_id, extra=""):
    # Byte for byte the form the agent builds: one blank after the brace, no other white space.
    # The agent escapes the id; for ordinary ids that changes nothing.
    return '{ "st1":"%s","st0":%s,"st2":"%s"}' % (base64.b64encode(content).decode(),
                                                  json.dumps(report_id, ensure_ascii=False), extra)


class BackendCase(unittest.TestCase):
    web_dir = None

    @classmethod
    def setUpClass(cls):
        if not BACKEND or not os.access(BACKEND, os.X_OK):
            raise unittest.SkipTest("set VEROLUX_DEMO_BACKEND to the built verolux-demo-backend")
        cls.tmp = tempfile.mkdtemp(prefix="vx-demo-test-")
        cls.backend = DemoBackend(BACKEND, cls.tmp, cls.web_dir or os.path.join(cls.tmp, "web"), templates=None)
        cls.orders = json.dumps({"name": "orders", "fields": ["customer", "qty"]}).encode()
        cls.binary = bytes(random.Random(7).randrange(256) for _ in range(5000))
        # secret.txt lies outside every served folder: it must never come back.
        for path, data in (("templates/orders.grf", cls.orders), ("templates/labels.grf", cls.binary),
                           ("secret.txt", b"SECRET")):
            with open(os.path.join(cls.tmp, path), "wb") as f:
                f.write(data)

    @classmethod
    def tearDownClass(cls):
        cls.backend.stop()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.backend.reset()


class TemplateServing(BackendCase):
    def test_serves_file_bytes_and_counts_each_download(self):
        # Missing ones are counted too: the agent's store tests count attempts, failed ones included.
        for _ in range(3):
            self.assertEqual((200, self.orders), self.backend.get("/templates/orders.grf")[0:3:2])
        self.assertEqual((200, self.binary), self.backend.get("/templates/labels.grf")[0:3:2])
        self.assertEqual(404, self.backend.get("/templates/nope.grf")[0])
        self.assertEqual(self.backend.stats()["downloads"], {"orders.grf": 3, "labels.grf": 1, "nope.grf": 1})

    def test_names_that_leave_the_folder_are_refused(self):
        # The full name rules are a unit test (DemoBackendUnitTest); here, each served folder refuses.
        targets = (("templates, encoded dot-dot", "/templates/..%2Fsecret.txt"), ("web", "/..%2Fsecret.txt"),
                   ("templates, raw dot-dot", "/templates/../secret.txt"), ("uploads", "/uploads/..%2Fsecret.txt"),
                   ("templates, absolute", "/templates/%2Fetc%2Fpasswd"), ("releases", "/releases/..%2Fsecret.txt"))
        for name, target in targets:
            with self.subTest(name):
                status, _, body = self.backend.get(target)
                self.assertEqual((status, False, False), (404, b"SECRET" in body, b"root:" in body))


class Uploads(BackendCase):
    def stored(self, name):
        with open(os.path.join(self.backend.uploads, name), "rb") as f:
            return f.read()

    def test_bodies_as_the_agent_sends_them(self):
        # reportId 7 and the bytes "abc" give exactly this body; a template comes with its MD5.
        content = b'{"edited":true}'
        md5 = hashlib.md5(content).hexdigest().upper()
        cases = (("/upload/pdf", '{ "st1":"YWJj","st0":"7","st2":""}', "7.pdf", b"abc", ("pdf", "", 3)),
                 ("/upload/template", upload_body(content, "R-100", md5), "R-100.grf", content,
                  ("template", md5, len(content))))
        for path, text, name, stored, (kind, st2, size) in cases:
            with self.subTest(kind):
                self.backend.reset()
                status, _, body = self.backend.post_json(path, text)
                self.assertEqual((200, True), (status, b"success" in body))
                self.assertEqual(self.stored(name), stored)
                (record,) = self.backend.stats()["uploads"]
                self.assertEqual((path, kind, st2, name, size, "application/json; charset=UTF-8"),
                                 tuple(record[k] for k in ("path", "kind", "st2", "file", "size", "contentType")))
        self.assertEqual(record["md5"], md5)

    def test_binary_contents_of_every_padding_length_and_a_large_one_come_back_unchanged(self):
        rng = random.Random(3)
        for size in (1, 2, 3, 40 << 20):  # every padding length; the decoder's table is a unit test
            with self.subTest(size=size):
                content = rng.randbytes(size)
                # 40 MiB of Base64 to decode: give a sanitizer build on a busy machine time.
                status, _, body = self.backend.post_json("/upload/pdf", upload_body(content, "bin%d" % size), 300)
                self.assertEqual(status, 200, body)
                self.assertEqual(self.stored("bin%d.pdf" % size), content)
                status, headers, served = self.backend.get("/uploads/bin%d.pdf" % size)
                self.assertEqual((status, served, headers["Content-Type"]), (200, content, "application/pdf"))

    def test_report_id_that_is_no_plain_name_stays_in_the_uploads_folder(self):
        # How ids are made plain is a unit test; here the file lands inside the uploads folder.
        status, _, _ = self.backend.post_json("/upload/pdf", upload_body(b"%PDF", "../evil"))
        self.assertEqual(status, 200)
        self.assertEqual(self.stored(".._evil.pdf"), b"%PDF")
        self.assertEqual(sorted(os.listdir(self.tmp)), ["backend.log", "releases", "secret.txt", "templates",
                                                        "uploads", "web"])

    def test_bad_bodies_are_refused_without_success(self):
        # The parser's full table is a unit test (DemoBackendUnitTest); here the HTTP answer, nothing stored.
        for text in ("st1=YWJj", '{ "st1":"YW==YWJj","st0":"7","st2":""}', ""):
            with self.subTest(text):
                status, _, body = self.backend.post_json("/upload/pdf", text)
                self.assertEqual((status, False), (400, b"success" in body))
        self.assertEqual(self.backend.stats()["uploads"], [])
        self.assertEqual(os.listdir(self.backend.uploads), [])


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

    def test_answer_from_latest_file_as_it_stands_or_empty_without_one(self):
        # Fetching the release is the launcher's own test, against this backend. A file that is no JSON
        # passes as it stands, so tests can hand the client answers that are no JSON at all.
        self.assertEqual(json.loads(self.query("1", "1.0.0")), {"ver": "", "url": "", "file": ""})
        for name, text in (("latest-2.json", '{"ver":"1.2.3","url":"${BASE}/releases/Kestrane","file":"Kestrane"}'),
                           ("latest-1.json", "<html>maintenance</html>")):
            with open(os.path.join(self.backend.releases, name), "w") as f:
                f.write(text)
        self.assertEqual(json.loads(self.query("2", "1.0.0")),
                         {"ver": "1.2.3", "url": self.backend.base + "/releases/Kestrane", "file": "Kestrane"})
        self.assertEqual(self.query("1", "1.0.0"), b"<html>maintenance</html>")
        query = self.backend.stats()["updateQueries"][1]
        self.assertEqual((query["kind"], query["version"], query["separator"], query["body"]), ("2", "1.0.0", True, "{}"))
        self.assertIn("%E2%80%BB", query["target"])

    def test_release_manifests_signed_with_the_update_key(self):
        # The shared backend has no key: nothing is signed, no key is shown.
        with open(os.path.join(self.backend.releases, "Verolux.manifest"), "w") as f:
            f.write("file=Verolux\n")
        self.assertEqual(self.backend.get("/releases/Verolux.manifest.sig")[0], 404)
        self.assertEqual(self.backend.get("/api/update-key")[0], 404)
        tmp = tempfile.mkdtemp(prefix="vx-demo-key-")
        self.addCleanup(shutil.rmtree, tmp, True)
        key = os.path.join(tmp, "key.pem")
        subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", key], check=True)
        signing = DemoBackend(BACKEND, os.path.join(tmp, "root"), os.path.join(tmp, "web"), templates=None,
                              update_key=key)
        self.addCleanup(signing.stop)
        manifest = os.path.join(signing.releases, "Verolux.manifest")
        with open(manifest, "w") as f:
            f.write("file=Verolux\nver=2.0.0\nsha256=%s\n" % hashlib.sha256(b"agent").hexdigest())
        status, _, signature = signing.get("/releases/Verolux.manifest.sig")
        self.assertEqual((status, len(signature)), (200, 64))
        # The key shown is the one UpdateKey takes; openssl verifies the signature with it.
        status, _, public = signing.get("/api/update-key")
        self.assertEqual(status, 200)
        with open(os.path.join(tmp, "pub.pem"), "w") as f:
            f.write("-----BEGIN PUBLIC KEY-----\n%s\n-----END PUBLIC KEY-----\n" % public.decode().strip())
        with open(os.path.join(tmp, "sig"), "wb") as f:
            f.write(signature)
        verify = subprocess.run(["openssl", "pkeyutl", "-verify", "-pubin", "-inkey", os.path.join(tmp, "pub.pem"),
                                 "-rawin", "-in", manifest, "-sigfile", os.path.join(tmp, "sig")], capture_output=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        # No manifest, nothing signed; a signature file put there is served as it stands.
        self.assertEqual(signing.get("/releases/Kestrane.manifest.sig")[0], 404)
        with open(os.path.join(signing.releases, "Kestrane.manifest.sig"), "wb") as f:
            f.write(b"x" * 64)
        self.assertEqual(signing.get("/releases/Kestrane.manifest.sig")[2], b"x" * 64)
        self.assertEqual(signing.stats()["releaseDownloads"],
                         {"Verolux.manifest.sig": 1, "Kestrane.manifest.sig": 2})

    def test_separator_sent_as_raw_utf8_is_understood(self):
        request = ("POST /basedata/v1/update/getLastUpdate/1" + SEPARATOR + "9.8.7 HTTP/1.1\r\n"
                   "Host: 127.0.0.1\r\nContent-Type: application/json; charset=UTF-8\r\n"
                   "Content-Length: 2\r\nConnection: close\r\n\r\n{}").encode("utf-8")
        self.assertEqual(self.backend.raw(request)[:12], b"HTTP/1.1 200")
        (query,) = self.backend.stats()["updateQueries"]
        self.assertEqual((query["kind"], query["version"]), ("1", "9.8.7"))


class FailureInjection(BackendCase):
    def test_500_for_the_next_n_requests_under_the_prefix(self):
        # Armed by a JSON body here, by query elsewhere; how long a rule lasts is the injector's unit test.
        arm = {"mode": "500", "path": "/templates/", "count": 2}
        self.assertEqual(self.backend.post_json("/api/fail", json.dumps(arm))[0], 200)
        self.assertEqual(self.backend.get("/releases/none")[0], 404)  # other prefix: untouched
        for _ in range(2):
            status, headers, body = self.backend.get("/templates/orders.grf")
            self.assertEqual((status, True, True), (500, b"<html>" in body, headers["Content-Type"].startswith("text/html")))
        self.assertEqual(self.backend.get("/templates/orders.grf")[2], self.orders)
        self.assertEqual(self.backend.stats()["downloads"], {"orders.grf": 3})

    def test_slow_answers_after_the_delay(self):
        # How long a rule lasts is the injector's unit test.
        self.backend.fail("slow", "/templates/orders", delay_ms=700)
        start = time.monotonic()
        status, _, body = self.backend.get("/templates/orders.grf")
        self.assertGreaterEqual(time.monotonic() - start, 0.7)
        self.assertEqual((status, body), (200, self.orders))

    def test_none_or_reset_clears_and_control_paths_never_fail(self):
        self.backend.fail("500", "/templates/", count=-1)
        self.backend.fail("none", "/templates/")
        self.assertEqual(self.backend.get("/templates/orders.grf")[0], 200)
        self.backend.fail("drop", count=-1)
        self.assertEqual(self.backend.get("/api/stats")[0], 200)
        self.backend.reset()
        self.assertEqual(self.backend.get("/templates/orders.grf")[0], 200)
        for query in ("mode=explode", "mode=500&count=x", "mode=slow&delay_ms=-5"):
            self.assertEqual(self.backend.request("POST", "/api/fail?" + query, b"")[0], 400, query)


class DemoPage(BackendCase):
    web_dir = os.path.abspath(WEB_DIR)

    @unittest.skipUnless(shutil.which("chromium"), "chromium not installed")
    def test_page_builds_buttons_and_points_to_the_install_steps_without_an_agent(self):
        with tempfile.TemporaryDirectory(prefix="vx-chromium-", ignore_cleanup_errors=True) as profile:
            dom = subprocess.run(
                ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--virtual-time-budget=4000", "--dump-dom",
                 self.backend.base + "/?agent=1"],
                capture_output=True, timeout=60, env=dict(os.environ, TMPDIR=profile)).stdout.decode()
        # One card per template, each with its four actions.
        for name in ("orders.grf", "labels.grf"):
            self.assertIn('data-template="%s"' % name, dom)
        self.assertEqual((2, 2), (dom.count('data-action="pdf"'), dom.count('data-action="design"')))
        # Nothing listens on port 1: the hint shows, with its link.
        self.assertNotIn("hidden", re.search(r'<p id="no-agent"[^>]*>', dom).group(0))
        self.assertIn('href="install.html"', dom)

if __name__ == "__main__":
    unittest.main()
