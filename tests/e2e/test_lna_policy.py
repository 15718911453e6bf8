#!/usr/bin/python3
"""A page of a public web site reaching the agent on 127.0.0.1 through Chromium's Local Network Access
checks, with and without the administrator's policy (docs/administration.md).

The page is served over HTTPS from 203.0.113.10 (a documentation address, so Chromium counts it as a
public site) inside a network namespace of the test's own, which also holds the agent and headless
Chromium. Chromium reads its policy from a private bind mount over /etc/chromium that only this test's
processes see; the machine's own policy is neither read nor touched. Needs root, `ip`, `unshare`,
`openssl` and Chromium; skipped (77) otherwise.

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/e2e/test_lna_policy.py -v
"""
import base64
import functools
import http.server
import json
import os
import re
import shutil
import ssl
import subprocess
import sys
import tempfile
import threading
import unittest

from harness import BIN_DIR, AgentRun, free_port, write_ini
from test_browser import CHROMIUM, chromium

SKIP = 77
PUBLIC = "203.0.113.10"
POLICY_DIR = "/etc/chromium"  # Debian's Chromium reads <this>/policies/managed/*.json
PAGE = """<!doctype html><meta charset="utf-8"><script>
const report = (what) => fetch("/result", {method: "POST", body: what});
const ws = new WebSocket("ws://127.0.0.1:" + new URLSearchParams(location.search).get("port") + "/");
ws.onopen = () => ws.send(JSON.stringify({verolux: "hello"}));
ws.onmessage = (e) => { report("reply " + e.data); ws.close(); };
ws.onerror = () => report("error");
</script>"""


def chromium_major():
    out = subprocess.run([CHROMIUM, "--version"], capture_output=True, text=True).stdout
    found = re.search(r"(\d+)\.\d+\.\d+", out)
    return int(found.group(1)) if found else 0


class PageServer(http.server.ThreadingHTTPServer):
    """Serves the page on PUBLIC:port, over TLS when given a certificate; keeps the first report."""

    def __init__(self, root, cert=None):
        self.report, self.done = None, threading.Event()
        owner = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_POST(self):
                if not owner.done.is_set():
                    owner.report = self.rfile.read(int(self.headers["Content-Length"])).decode()
                    owner.done.set()
                self.send_response(204)
                self.end_headers()

        super().__init__((PUBLIC, 0), functools.partial(Handler, directory=root))
        scheme = "http"
        if cert:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*cert)
            self.socket = context.wrap_socket(self.socket, server_side=True)
            scheme = "https"
        self.origin = "%s://%s:%d" % (scheme, PUBLIC, self.server_address[1])
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def close(self):
        self.shutdown()
        self.server_close()


class LocalNetworkAccess(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="verolux-lna-")
        root = os.path.join(cls.work, "web")
        os.makedirs(root)
        with open(os.path.join(root, "page.html"), "w") as f:
            f.write(PAGE)
        # A throw-away certificate for the site; Chromium accepts exactly its key (no CA is installed).
        key, cert = os.path.join(cls.work, "key.pem"), os.path.join(cls.work, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=" + PUBLIC, "-addext", "subjectAltName=IP:" + PUBLIC],
                       check=True, capture_output=True)
        der = subprocess.run("openssl x509 -in %s -pubkey -noout | openssl pkey -pubin -outform der" % cert,
                             shell=True, check=True, capture_output=True).stdout
        digest = subprocess.run(["openssl", "dgst", "-sha256", "-binary"], input=der, check=True,
                                capture_output=True).stdout
        cls.spki = base64.b64encode(digest).decode()
        cls.https = PageServer(root, (cert, key))
        cls.http = PageServer(root)

        # Chromium's policy folder, seen only by this namespace.
        cls.policies = os.path.join(cls.work, "etc-chromium")
        os.makedirs(os.path.join(cls.policies, "policies", "managed"))
        subprocess.run(["mount", "--bind", cls.policies, POLICY_DIR], check=True)

        # The agent trusts both sites, so whatever stops a page is the browser.
        cls.folder = os.path.join(cls.work, "prog")
        os.makedirs(os.path.join(cls.folder, "report"))
        write_ini(cls.folder, {"AppInfo": {"WebsUrl": "http://127.0.0.1:9"}, "Verolux": {"Show": "1"},
                               "Sites": {cls.https.origin: "1", cls.http.origin: "1"}})
        cls.agent = AgentRun(cls.folder, free_port())

    @classmethod
    def tearDownClass(cls):
        cls.agent.stop()
        cls.https.close()
        cls.http.close()
        subprocess.run(["umount", POLICY_DIR])
        shutil.rmtree(cls.work, ignore_errors=True)

    def visit(self, server, policy):
        """What the page reports after opening its WebSocket to the agent under policy."""
        with open(os.path.join(self.policies, "policies", "managed", "verolux.json"), "w") as f:
            json.dump(policy, f)
        server.report = None
        server.done.clear()
        url = "%s/page.html?port=%d" % (server.origin, self.agent.port)
        with chromium(url, os.path.join(self.work, "chromium.log"), "--remote-debugging-port=0",
                      "--ignore-certificate-errors-spki-list=" + self.spki):
            self.assertTrue(server.done.wait(60), "the page reported nothing")
        return server.report

    def test_the_policy_lets_the_company_site_reach_the_agent(self):
        reached = lambda report: report.startswith("reply ") and json.loads(report[6:])["agent"] == "Verolux"
        self.assertTrue(reached(self.visit(self.https, {"LocalNetworkAccessAllowedForUrls": [self.https.origin]})))
        major = chromium_major()
        if major >= 146:  # the loopback-only list came with Chromium 146
            self.assertTrue(reached(self.visit(self.https, {"LoopbackNetworkAllowedForUrls": [self.https.origin]})))
        if major < 142:
            self.skipTest("Chromium %d has no Local Network Access checks" % major)
        # What users get without the policy: a headless browser cannot ask, so the page is refused.
        self.assertEqual(self.visit(self.https, {}), "error")
        # The list names the site exactly; and a page served over plain HTTP is refused even when listed.
        self.assertEqual(self.visit(self.https, {"LocalNetworkAccessAllowedForUrls": ["https://erp.example.com"]}),
                         "error")
        self.assertEqual(self.visit(self.http, {"LocalNetworkAccessAllowedForUrls": [self.http.origin]}), "error")


def in_own_namespaces(argv):
    """Runs argv in a new network namespace (loopback up, PUBLIC on it) and a private mount namespace;
    its exit code, or None when no namespace can be made here."""
    name = "vxlna%d" % os.getpid()
    if subprocess.run(["ip", "netns", "add", name], capture_output=True).returncode != 0:
        return None
    try:
        inside = ["ip", "netns", "exec", name]
        subprocess.run(inside + ["ip", "link", "set", "lo", "up"], check=True)
        subprocess.run(inside + ["ip", "addr", "add", PUBLIC + "/32", "dev", "lo"], check=True)
        return subprocess.run(inside + ["unshare", "--mount", "--propagation", "private"] + argv,
                              env=dict(os.environ, VEROLUX_LNA_TEST_INSIDE="1")).returncode
    finally:
        subprocess.run(["ip", "netns", "del", name])


def main():
    if os.environ.get("VEROLUX_LNA_TEST_INSIDE"):
        program = unittest.main(argv=sys.argv, exit=False)
        return 0 if program.result.wasSuccessful() else 1
    missing = [tool for tool in ("ip", "unshare", "openssl", "mount") if not shutil.which(tool)]
    if os.geteuid() != 0 or missing or not os.access(CHROMIUM, os.X_OK) or not os.path.isdir(POLICY_DIR):
        print("skipped: needs root, ip, unshare, openssl, Chromium and %s (missing: %s)" % (POLICY_DIR, missing))
        return SKIP
    if not BIN_DIR:
        print("VEROLUX_BIN_DIR is not set")
        return 2
    code = in_own_namespaces([sys.executable] + sys.argv)
    if code is None:
        print("skipped: no network namespace can be made here")
        return SKIP
    return code


if __name__ == "__main__":
    sys.exit(main())
