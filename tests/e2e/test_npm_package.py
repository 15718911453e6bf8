#!/usr/bin/python3
"""The client module as web developers get it: `npm pack` of demo/web, installed offline from the
tarball into a scratch project, imported by name and bundled with esbuild; the bundle, loaded in
headless Chromium, reaches the real agent.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_npm_package.py -v NpmPackage
"""
import json
import os
import re
import shutil
import subprocess
import tarfile
import unittest
import urllib.parse

from harness import HERE, AgentCase
from backendproc import DEMO_WEB
import test_browser as browser

PAGE = """\
import { connect, buildPrintRequest, VeroluxError } from "verolux-client";

const port = new URLSearchParams(location.search).get("agent");
const result = {};
try {
    const agent = await connect({ url: `ws://127.0.0.1:${port}/` });
    result.hello = agent.hello;
    buildPrintRequest({ mode: "pdf", template: { name: "a.grf", url: "http://x/a.grf" }, reportId: 1 });
} catch (e) {
    result.error = { code: e.code, message: e.message, isVeroluxError: e instanceof VeroluxError };
}
await fetch("/report", { method: "POST", body: JSON.stringify(result) });
"""


TYPED_USE = """\
import { buildPrintRequest, connect, VeroluxError } from "verolux-client";
import type { JobEvent, PrintRequest } from "verolux-client";

const agent = await connect({ url: "ws://127.0.0.1:28502/", reconnectDelay: 500 });
const template = { name: "orders.grf", url: "https://erp.example/orders.grf", md5: "" };
buildPrintRequest({ mode: "pdf", template, reportId: "SO-1", uploadUrl: "https://erp.example/up", rows: [{ qty: 1 }] });
buildPrintRequest({ mode: "print", template, printer: "HP", params: { company: "X" } });
buildPrintRequest({ mode: "design", template, reportId: 7 });
// @ts-expect-error an unknown mode
buildPrintRequest({ mode: "pfd", template });
// @ts-expect-error a PDF names the URL it is uploaded to
buildPrintRequest({ mode: "pdf", template, reportId: "SO-1" });
// @ts-expect-error a design names its report
buildPrintRequest({ mode: "design", template });
const request: PrintRequest = { preview: "2", repname: "a.grf", reptype: "", reguserno: "", reprintname: "",
    sdesign: "", reporturl: "https://erp.example/a.grf", reportmd5: "", reportId: "SO-1",
    reportAdd: "https://erp.example/up", repdata: [], company: "X" };
const done: JobEvent = await agent.print(request, { copies: 2, duplex: "long", onState: (e) => e.cupsJobId });
// @ts-expect-error duplex is "none", "long" or "short"
await agent.print(request, { duplex: "both" });
// @ts-expect-error a request without its keys
const partial: PrintRequest = { preview: "2", repname: "a.grf" };
const state: "connecting" | "open" | "closed" | "awaiting-permission" | "refused" = agent.state;
try {
    await connect();
} catch (e) {
    if (e instanceof VeroluxError && e.code === "site-refused") console.log(e.agent?.state, done.state, state, partial);
}
"""


def project_version():
    with open(os.path.join(HERE, "..", "..", "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(Verolux VERSION (\S+)", f.read()).group(1)


class NpmPackage(AgentCase):
    """One tarball, installed once into a scratch project (cls.app) that the tests build pages in."""

    @classmethod
    def setUpClass(cls):
        for tool in ("npm", "esbuild"):
            if not shutil.which(tool):
                raise unittest.SkipTest(tool + " is not installed (scripts/install-deps.sh --test)")
        if not os.path.exists(browser.CHROMIUM):
            raise unittest.SkipTest("no chromium at " + browser.CHROMIUM)
        super().setUpClass()
        try:
            cls.packed = json.loads(cls.run_tool(["npm", "pack", "--json", "--pack-destination", cls.work], DEMO_WEB))[0]
            cls.tarball = os.path.join(cls.work, cls.packed["filename"])
            cls.app = os.path.join(cls.work, "app")
            os.makedirs(cls.app)
            with open(os.path.join(cls.app, "package.json"), "w") as f:
                json.dump({"name": "page", "private": True, "type": "module"}, f)
            cls.run_tool(["npm", "install", cls.tarball], cls.app)
        except Exception:
            cls._teardown()
            raise

    @classmethod
    def run_tool(cls, args, cwd):
        # The registry is never asked: npm's cache is a scratch folder and it works offline.
        env = dict(os.environ, npm_config_cache=os.path.join(cls.work, "npm-cache"), npm_config_offline="true",
                   npm_config_audit="false", npm_config_fund="false", npm_config_update_notifier="false")
        done = subprocess.run(args, cwd=cwd, env=env, capture_output=True, text=True, timeout=120)
        if done.returncode != 0:
            raise AssertionError("%s: %s%s" % (" ".join(args), done.stdout, done.stderr))
        return done.stdout

    def write(self, name, text):
        with open(os.path.join(self.app, name), "w", encoding="utf-8") as f:
            f.write(text)

    def test_tarball(self):
        self.assertEqual(("verolux-client", project_version()), (self.packed["name"], self.packed["version"]))
        with tarfile.open(self.tarball) as t:
            self.assertEqual(["package/package.json", "package/verolux-client.d.ts", "package/verolux-client.js"],
                             sorted(t.getnames()))

    def test_bundle_reaches_the_agent(self):
        self.write("page.js", PAGE)
        self.write("index.html", '<!DOCTYPE html>\n<meta charset="utf-8">\n<script type="module" src="bundle.js"></script>\n')
        self.run_tool(["esbuild", "page.js", "--bundle", "--format=esm", "--outfile=bundle.js"], self.app)
        with open(os.path.join(self.app, "bundle.js"), encoding="utf-8") as f:
            self.assertIn("site-refused", f.read())  # the module itself, not an import of it

        server = browser.PageServer(self.app)
        self.addCleanup(server.close)
        self.allow_site(server.base)
        query = urllib.parse.urlencode({"agent": self.agent.port})
        with browser.chromium("%s/index.html?%s" % (server.base, query), os.path.join(self.work, "chromium.log")):
            r = server.report(1)
        self.assertIsNotNone(r, "the bundled page never reported")
        # The agent said hello (its version is the package's), and the bundled builder still checks requests.
        self.assertEqual(("Verolux", project_version()), (r["hello"]["agent"], r["hello"]["version"]))
        self.assertEqual(("bad-request", True), (r["error"]["code"], r["error"]["isVeroluxError"]))
        self.assertIn("uploadUrl", r["error"]["message"])

    @unittest.skipUnless(shutil.which("tsc"), "no TypeScript compiler (node-typescript)")
    def test_types(self):
        # Each @ts-expect-error line must be an error, and everything else must check.
        self.write("check.ts", TYPED_USE)
        self.run_tool(["tsc", "--noEmit", "--strict", "--target", "es2022", "--module", "node16",
                       "--moduleResolution", "node16", "--lib", "es2022,dom", "check.ts"], self.app)


if __name__ == "__main__":
    unittest.main()
