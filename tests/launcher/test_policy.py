"""The administrator's policy.ini with the real Kestrane and Verolux against the demo backend: its
WebsUrl and UpdateKey win over the user's MyIni.ini at every start of either program.

usage: test_policy.py KESTRANE VEROLUX DEMO_BACKEND
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from agentproc import free_port, install_programs, read_bytes, read_ini, write_ini  # noqa: E402
from backendproc import Backend  # noqa: E402

KESTRANE, VEROLUX, BACKEND = None, None, None
OFFLINE = "http://127.0.0.1:9"  # the user's own backend: nothing answers there
STAND_IN = b"#!/bin/sh\nexit 0\n"  # a runnable program that is no agent or launcher: ends at once
RELEASE = STAND_IN + b"# unsigned release\n"


class Policy(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="policy-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.folder = os.path.join(self.dir, "program")
        install_programs(self, self.folder, KESTRANE, VEROLUX)
        self.policy = os.path.join(self.dir, "policy.ini")
        self.env = dict(os.environ, VEROLUX_PORT=str(free_port()), VEROLUX_POLICY=self.policy)
        self.env.pop("VEROLUX_HOME", None)

    def start_backend(self, **kw):
        self.backend = Backend(BACKEND, os.path.join(self.dir, "backend"), **kw)
        self.addCleanup(self.backend.stop)

    def write_policy(self, **app_info):
        with open(self.policy, "w") as f:
            f.write("[AppInfo]\n" + "".join("%s=%s\n" % kv for kv in app_info.items()))

    def arrange(self, program, other):
        """The real `program`, and a stand-in for the other one that ends at once: no agent runs on."""
        shutil.copy(KESTRANE if program == "Kestrane" else VEROLUX, os.path.join(self.folder, program))
        with open(os.path.join(self.folder, other), "wb") as f:
            f.write(STAND_IN)

    def run_program(self, name):
        r = subprocess.run([os.path.join(self.folder, name)], env=self.env, capture_output=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)

    def app_info(self):
        return read_ini(self.folder)["AppInfo"]

    def offer_unsigned(self, program):
        """The backend names an unsigned `program` 2.0.0: no manifest to sign."""
        with open(os.path.join(self.backend.releases, program), "wb") as f:
            f.write(RELEASE)
        kind = "1" if program == "Verolux" else "2"
        with open(os.path.join(self.backend.releases, "latest-%s.json" % kind), "w") as f:
            f.write('{"ver":"2.0.0","url":"${BASE}/releases/%s","file":"%s"}' % (program, program))

    def test_update_queries_reach_the_policy_backend(self):
        self.start_backend()
        self.write_policy(WebsUrl=self.backend.base)
        # (program run, the other one stood in, the kind it asks for)
        for program, other, kind in (("Kestrane", "Verolux", "1"), ("Verolux", "Kestrane", "2")):
            # The user's own backend, and none at all: neither the user's nor the built-in default wins.
            for users in (OFFLINE, ""):
                with self.subTest(program=program, users=users):
                    self.backend.reset()
                    self.arrange(program, other)
                    write_ini(self.folder, {"AppInfo": {"WebsUrl": users, "PrintVer": "1.0.0", "ShellVer": "1.0.0"}})
                    self.run_program(program)
                    queries = self.backend.stats()["updateQueries"]
                    self.assertEqual([(q["kind"], q["version"]) for q in queries], [(kind, "1.0.0")])
                    self.assertEqual(self.app_info()["WebsUrl"], self.backend.base)

    def test_policy_key_refuses_unsigned_updates_the_user_would_take(self):
        key = os.path.join(self.dir, "release-key.pem")
        subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", key], check=True)
        self.start_backend(update_key=key)
        status, public_key = self.backend.request("GET", "/api/update-key")
        self.assertEqual(status, 200)
        for program, other, version_key in (("Kestrane", "Verolux", "PrintVer"), ("Verolux", "Kestrane", "ShellVer")):
            with self.subTest(program=program):
                self.backend.reset()
                self.offer_unsigned(other)
                self.arrange(program, other)
                # The user removed UpdateKey from MyIni.ini.
                write_ini(self.folder, {"AppInfo": {"WebsUrl": self.backend.base, version_key: "1.0.0"}})
                self.write_policy(UpdateKey=public_key.decode().strip())
                self.run_program(program)
                self.assertEqual(read_bytes(os.path.join(self.folder, other)), STAND_IN, "nothing installed")
                self.assertEqual(self.app_info()[version_key], "1.0.0", "nothing recorded")
                self.assertNotIn(other, self.backend.stats()["releaseDownloads"])
                self.assertEqual(self.app_info()["UpdateKey"], public_key.decode().strip())
        # Without the policy the same offer is taken: what refused it above was the policy's key.
        self.backend.reset()
        os.remove(self.policy)
        write_ini(self.folder, {"AppInfo": {"WebsUrl": self.backend.base, "PrintVer": "1.0.0"}})
        self.arrange("Kestrane", "Verolux")
        self.run_program("Kestrane")
        self.assertEqual(read_bytes(os.path.join(self.folder, "Verolux")), RELEASE)


if __name__ == "__main__":
    KESTRANE, VEROLUX, BACKEND = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
