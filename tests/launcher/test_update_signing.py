"""Signed updates with the real Kestrane and Verolux against the demo backend signing with a test key:
only a newer release of the program asked for, under its own name, is installed.

usage: test_update_signing.py KESTRANE VEROLUX DEMO_BACKEND
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from agentproc import free_port, install_programs, read_bytes, read_ini, wait_for, write_ini  # noqa: E402
from backendproc import Backend  # noqa: E402

KESTRANE, VEROLUX, BACKEND = None, None, None
MARKER = b"#!/bin/sh\nexit 0\n"  # a runnable program that is no agent: replaced only by an install


def sha256(path):
    return hashlib.sha256(read_bytes(path)).hexdigest()


class SignedUpdate(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="signed-update-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.folder = os.path.join(self.dir, "program")
        install_programs(self, self.folder, KESTRANE, VEROLUX)
        key = os.path.join(self.dir, "release-key.pem")
        subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", key], check=True)
        self.backend = Backend(BACKEND, os.path.join(self.dir, "backend"), update_key=key)
        self.addCleanup(self.backend.stop)
        status, public_key = self.backend.request("GET", "/api/update-key")
        self.assertEqual(status, 200)
        self.ini = {"WebsUrl": self.backend.base, "UpdateKey": public_key.decode().strip()}
        self.env = dict(os.environ, VEROLUX_PORT=str(free_port()))
        self.env.pop("VEROLUX_HOME", None)

    def publish(self, program, source, ver, served_as=None):
        """Releases `source` as `program` at `ver`, signed; the answer for the kind of `served_as`
        (default: the program itself) names it under that name."""
        shutil.copy(source, os.path.join(self.backend.releases, program))
        with open(os.path.join(self.backend.releases, program + ".manifest"), "w") as f:
            f.write("file=%s\nver=%s\nsha256=%s\n" % (program, ver, sha256(source)))
        served_as = served_as or program
        kind = "1" if served_as == "Verolux" else "2"
        with open(os.path.join(self.backend.releases, "latest-%s.json" % kind), "w") as f:
            f.write('{"ver":"%s","url":"${BASE}/releases/%s","file":"%s"}' % (ver, program, served_as))

    def write_settings(self, **versions):
        write_ini(self.folder, {"AppInfo": dict(self.ini, **versions)})

    def run_program(self, name):
        r = subprocess.run([os.path.join(self.folder, name)], env=self.env, capture_output=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)

    def agent_started(self):
        """The agent that runs answers the update query for the launcher: kind 2 arrives."""
        return wait_for(lambda: any(q["kind"] == "2" for q in self.backend.stats()["updateQueries"]), 15)

    def app_info(self):
        return read_ini(self.folder)["AppInfo"]

    def test_newer_signed_agent_is_installed_and_started(self):
        with open(os.path.join(self.folder, "Verolux"), "wb") as f:
            f.write(MARKER)
        self.publish("Verolux", VEROLUX, "2.0.0")
        self.write_settings(PrintVer="1.0.0")
        self.run_program("Kestrane")
        self.assertEqual(sha256(os.path.join(self.folder, "Verolux")), sha256(VEROLUX))
        self.assertTrue(os.access(os.path.join(self.folder, "Verolux"), os.X_OK))
        self.assertTrue(self.agent_started(), "the installed agent runs")
        self.assertEqual(self.backend.stats()["releaseDownloads"],
                         {"Verolux.manifest": 1, "Verolux.manifest.sig": 1, "Verolux": 1})

    def test_launcher_served_as_the_agent_is_refused_and_nothing_loops(self):
        # The launcher's own signed release, offered under the agent's name.
        self.publish("Kestrane", KESTRANE, "2.0.0", served_as="Verolux")
        self.write_settings(PrintVer="1.0.0")
        self.run_program("Kestrane")
        self.assertTrue(self.agent_started(), "the real agent was started, not the launcher's copy")
        stats = self.backend.stats()
        self.assertEqual(stats["releaseDownloads"], {"Kestrane.manifest": 1, "Kestrane.manifest.sig": 1})
        self.assertEqual([q["kind"] for q in stats["updateQueries"]], ["1", "2"], "one launcher run, one agent")
        self.assertEqual(sha256(os.path.join(self.folder, "Verolux")), sha256(VEROLUX))
        # Later, once the agent is up and listening: still nothing more fetched, nothing more asked.
        self.assertTrue(wait_for(self.agent_listens, 15))
        self.assertEqual(self.backend.stats(), stats)

    def test_agent_installs_a_newer_signed_launcher(self):
        # Which releases a manifest lets in (older, another program's, another key's) is
        # UpdateManifestTest's table; here, the agent's side of the real programs.
        launcher = os.path.join(self.folder, "Kestrane")
        with open(launcher, "wb") as f:
            f.write(MARKER)
        self.publish("Kestrane", KESTRANE, "2.0.0")
        self.write_settings(ShellVer="1.0.0")
        self.run_program("Verolux")  # no start request: it checks for the launcher and ends
        self.assertEqual(sha256(launcher), sha256(KESTRANE))
        self.assertEqual(self.app_info()["ShellVer"], "2.0.0")
        self.assertEqual(self.backend.stats()["releaseDownloads"],
                         {"Kestrane.manifest": 1, "Kestrane.manifest.sig": 1, "Kestrane": 1})

    def agent_listens(self):
        """The agent publishes its caption once its window is loaded and it listens."""
        try:
            with open(os.path.join(self.folder, "Verolux.lock"), encoding="utf-8") as f:
                return f.read().startswith("Web报表服务端 (")
        except OSError:
            return False


if __name__ == "__main__":
    KESTRANE, VEROLUX, BACKEND = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
