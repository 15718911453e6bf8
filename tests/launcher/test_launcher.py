#!/usr/bin/python3
"""Kestrane in temporary program folders: update check, agent search by its lock file and
caption, start of the agent, version records.

usage: test_launcher.py KESTRANE [DEMO_BACKEND]
The agent is a stand-in script (fake_agent.py) unless VEROLUX_REAL_AGENT names the real one.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
KESTRANE = None
BACKEND = None
OWN_VERSION = os.environ.get("KESTRANE_VERSION", "1.0.0")


def read_ini(folder, section, key):
    """[section] key of MyIni.ini, names without regard to case, first match, "" when missing."""
    path = os.path.join(folder, "MyIni.ini")
    if not os.path.exists(path):
        return ""
    current = None
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            s = line.strip()
            if s.startswith("[") and s.endswith("]"):
                current = s[1:-1].strip().lower()
            elif current == section.lower() and "=" in s:
                k, v = s.split("=", 1)
                if k.strip().lower() == key.lower():
                    return v.strip()
    return ""


def write_ini(folder, entries):
    with open(os.path.join(folder, "MyIni.ini"), "w", encoding="utf-8") as f:
        for section, pairs in entries.items():
            f.write(f"[{section}]\r\n")
            for k, v in pairs.items():
                f.write(f"{k}={v}\r\n")


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


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
        self.pids = []
        write_ini(self.dir, {"AppInfo": {"WebsUrl": f"http://127.0.0.1:{closed_port()}"}})

    def tearDown(self):
        for pid in self.started_pids() + self.pids:
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)

    def install_agent(self, version="1.0.0"):
        real = os.environ.get("VEROLUX_REAL_AGENT")
        target = os.path.join(self.dir, "Verolux")
        shutil.copy(real or os.path.join(HERE, "fake_agent.py"), target)
        os.chmod(target, 0o755)
        self.agent_version = version

    def run_kestrane(self, extra_env=None):
        env = dict(os.environ, VEROLUX_HOME=self.dir, FAKE_AGENT_VERSION=getattr(self, "agent_version", "1.0.0"))
        env.update(extra_env or {})
        return subprocess.run([KESTRANE], env=env, capture_output=True, text=True, timeout=30)

    def recorded_pids(self, name):
        """Process ids the stand-in agent wrote to `name` in the program folder."""
        path = os.path.join(self.dir, name)
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return [int(x) for x in f.read().split()]

    def started_pids(self):
        return self.recorded_pids("agent-starts.txt")

    def ended_pids(self):
        return self.recorded_pids("agent-ends.txt")

    def caption_published(self, version):
        path = os.path.join(self.dir, "Verolux.lock")
        if not os.path.exists(path):
            return False
        with open(path, "rb") as f:
            return f.read() == ("Web报表服务端 (" + version + ")").encode()

    def start_running_agent(self, version):
        self.install_agent(version)
        r = self.run_kestrane()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(wait_for(lambda: self.caption_published(version)))

    def test_agent_not_running_is_started(self):
        self.install_agent()
        r = self.run_kestrane()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(read_ini(self.dir, "Verolux", "Show"), "1")
        self.assertEqual(read_ini(self.dir, "AppInfo", "ShellVer"), OWN_VERSION)
        self.assertTrue(wait_for(lambda: len(self.started_pids()) == 1), "agent not started")
        self.assertTrue(wait_for(lambda: self.caption_published("1.0.0")))
        # detached: Kestrane has ended, the agent runs on in its own session
        pid = self.started_pids()[0]
        os.kill(pid, 0)
        self.assertEqual(os.getsid(pid), pid)

    def test_agent_running_with_recorded_version_is_left_alone(self):
        self.start_running_agent("1.0.0")
        write_ini(self.dir, {"AppInfo": {"WebsUrl": read_ini(self.dir, "AppInfo", "WebsUrl"), "PrintVer": "1.0.0"},
                             "Verolux": {"Show": "0"}})
        r = self.run_kestrane()
        self.assertEqual(r.returncode, 0, r.stderr)
        time.sleep(0.3)
        self.assertEqual(len(self.started_pids()), 1)
        self.assertEqual(read_ini(self.dir, "Verolux", "Show"), "0")
        self.assertEqual(read_ini(self.dir, "AppInfo", "ShellVer"), "")

    def test_other_recorded_version_starts_a_second_agent_that_ends(self):
        self.start_running_agent("1.0.0")
        write_ini(self.dir, {"AppInfo": {"WebsUrl": read_ini(self.dir, "AppInfo", "WebsUrl"), "PrintVer": "0.9.0"}})
        r = self.run_kestrane()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(wait_for(lambda: len(self.started_pids()) == 2), "no second agent")
        self.assertTrue(wait_for(lambda: self.ended_pids() == self.started_pids()[1:]), "second agent did not end")
        self.assertEqual(read_ini(self.dir, "Verolux", "Show"), "1")
        self.assertEqual(read_ini(self.dir, "AppInfo", "ShellVer"), OWN_VERSION)

    def test_stale_lock_file_is_no_running_agent(self):
        self.install_agent()
        with open(os.path.join(self.dir, "Verolux.lock"), "wb") as f:
            f.write("Web报表服务端 ()".encode())  # left by an agent that is gone
        r = self.run_kestrane()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(wait_for(lambda: len(self.started_pids()) == 1))

    def test_agent_file_missing(self):
        r = self.run_kestrane()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(read_ini(self.dir, "Verolux", "Show"), "")
        self.assertEqual(read_ini(self.dir, "AppInfo", "ShellVer"), OWN_VERSION)
        self.assertEqual(self.started_pids(), [])

    def test_agent_that_cannot_start_is_reported(self):
        target = os.path.join(self.dir, "Verolux")
        with open(target, "w") as f:
            f.write("not a program")
        os.chmod(target, 0o644)
        r = self.run_kestrane()
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("cannot start", r.stderr)
        self.assertEqual(read_ini(self.dir, "Verolux", "Show"), "1")
        self.assertEqual(read_ini(self.dir, "AppInfo", "ShellVer"), "")

    def test_empty_websurl_gets_the_default(self):
        # The default is an https origin outside this machine: a proxy on a closed local port makes the
        # update check fail at once, without leaving the machine; only what is written is checked.
        write_ini(self.dir, {"AppInfo": {"WebsUrl": ""}})
        r = self.run_kestrane({"https_proxy": "http://127.0.0.1:%d" % closed_port(),
                               "HTTPS_PROXY": "http://127.0.0.1:%d" % closed_port()})
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(read_ini(self.dir, "AppInfo", "WebsUrl").startswith("https://"))


@unittest.skipUnless(len(sys.argv) > 2 or BACKEND, "needs the demo backend")
class LauncherUpdateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vx-launcher-upd-")
        self.app = os.path.join(self.dir, "app")
        self.releases = os.path.join(self.dir, "releases")
        for d in (self.app, self.releases, os.path.join(self.dir, "t"), os.path.join(self.dir, "u"), os.path.join(self.dir, "w")):
            os.makedirs(d)
        self.backend = subprocess.Popen(
            [BACKEND, "--port", "0", "--templates", os.path.join(self.dir, "t"), "--uploads", os.path.join(self.dir, "u"),
             "--releases", self.releases, "--web", os.path.join(self.dir, "w")],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.backend.stdout.readline()
        self.base = line.split("listening on ", 1)[1].strip()

    def tearDown(self):
        self.backend.terminate()
        self.backend.wait()
        self.backend.stdout.close()
        path = os.path.join(self.app, "agent-starts.txt")
        if os.path.exists(path):
            with open(path) as f:
                pids = f.read().split()
            for pid in pids:
                try:
                    os.kill(int(pid), signal.SIGTERM)
                except ProcessLookupError:
                    pass
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_new_agent_is_fetched_then_started(self):
        shutil.copy(os.path.join(HERE, "fake_agent.py"), os.path.join(self.releases, "Verolux"))
        with open(os.path.join(self.releases, "latest-1.json"), "w") as f:
            f.write('{"ver":"2.0.0","url":"${BASE}/releases/Verolux","file":"Verolux"}')
        write_ini(self.app, {"AppInfo": {"WebsUrl": self.base, "PrintVer": "1.0.0"}})
        env = dict(os.environ, VEROLUX_HOME=self.app, FAKE_AGENT_VERSION="2.0.0")
        r = subprocess.run([KESTRANE], env=env, capture_output=True, text=True, timeout=30)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(read_ini(self.app, "AppInfo", "PrintVer"), "2.0.0")
        self.assertTrue(os.access(os.path.join(self.app, "Verolux"), os.X_OK))
        self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(self.app, "agent-starts.txt"))),
                        "downloaded agent not started")
        self.assertEqual(read_ini(self.app, "Verolux", "Show"), "1")


if __name__ == "__main__":
    KESTRANE = sys.argv[1]
    if len(sys.argv) > 2:
        BACKEND = sys.argv[2]
    unittest.main(argv=[sys.argv[0], "-v"])
