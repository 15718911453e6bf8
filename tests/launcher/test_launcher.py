#!/usr/bin/python3
"""Kestrane with a stand-in agent (fake_agent.py), for what the real agent cannot show: a lock file
left by a dead agent, an agent file that cannot run, and a new agent fetched from the backend.
The ordinary start cases run against the real agent in test_launcher_real_agent.py.

usage: test_launcher.py KESTRANE [DEMO_BACKEND]
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from agentproc import free_port, read_ini, write_ini  # noqa: E402
from backendproc import Backend  # noqa: E402

KESTRANE = None
BACKEND = None


def wait_for(predicate, timeout=5.0):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.02)
    return predicate()


class LauncherTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vx-launcher-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.addCleanup(self.stop_agents)
        # A closed local port: the update check fails at once.
        write_ini(self.dir, {"AppInfo": {"WebsUrl": "http://127.0.0.1:%d" % free_port()}})

    def stop_agents(self):
        for pid in self.started_pids():
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass

    def started_pids(self):
        """Process ids the stand-in agent wrote at its start."""
        path = os.path.join(self.dir, "agent-starts.txt")
        return [int(x) for x in open(path).read().split()] if os.path.exists(path) else []

    def run_kestrane(self, agent_version="1.0.0"):
        env = dict(os.environ, VEROLUX_HOME=self.dir, FAKE_AGENT_VERSION=agent_version)
        return subprocess.run([KESTRANE], env=env, capture_output=True, text=True, timeout=30)

    def test_stale_lock_file_is_no_running_agent(self):
        shutil.copy(os.path.join(HERE, "fake_agent.py"), os.path.join(self.dir, "Verolux"))
        os.chmod(os.path.join(self.dir, "Verolux"), 0o755)
        with open(os.path.join(self.dir, "Verolux.lock"), "wb") as f:
            f.write("Web报表服务端 ()".encode())  # left by an agent that is gone
        r = self.run_kestrane()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(wait_for(lambda: len(self.started_pids()) == 1))

    def test_agent_that_cannot_start_is_reported(self):
        target = os.path.join(self.dir, "Verolux")
        with open(target, "w") as f:
            f.write("not a program")
        os.chmod(target, 0o644)
        r = self.run_kestrane()
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("cannot start", r.stderr)
        self.assertEqual(read_ini(self.dir).get("Verolux", {}).get("Show"), "1")
        self.assertIsNone(read_ini(self.dir)["AppInfo"].get("ShellVer"))

    @unittest.skipUnless(len(sys.argv) > 2, "needs the demo backend")
    def test_new_agent_is_fetched_then_started(self):
        backend = Backend(BACKEND, os.path.join(self.dir, "backend"))
        self.addCleanup(backend.stop)
        releases = os.path.join(self.dir, "backend", "releases")
        shutil.copy(os.path.join(HERE, "fake_agent.py"), os.path.join(releases, "Verolux"))
        with open(os.path.join(releases, "latest-1.json"), "w") as f:
            f.write('{"ver":"2.0.0","url":"${BASE}/releases/Verolux","file":"Verolux"}')
        write_ini(self.dir, {"AppInfo": {"WebsUrl": backend.base, "PrintVer": "1.0.0"}})
        r = self.run_kestrane("2.0.0")
        self.assertEqual(r.returncode, 0, r.stderr)
        ini = read_ini(self.dir)
        self.assertEqual(ini["AppInfo"]["PrintVer"], "2.0.0")
        self.assertEqual(ini["Verolux"]["Show"], "1")
        self.assertTrue(os.access(os.path.join(self.dir, "Verolux"), os.X_OK))
        self.assertTrue(wait_for(lambda: len(self.started_pids()) == 1), "downloaded agent not started")


if __name__ == "__main__":
    KESTRANE = sys.argv[1]
    if len(sys.argv) > 2:
        BACKEND = sys.argv[2]
    unittest.main(argv=[sys.argv[0], "-v"])
