"""Kestrane starting the real Verolux in throw-away program folders (both programs copied in), with
the demo backend offering a new agent where a test needs one.

usage: test_launcher.py KESTRANE VEROLUX DEMO_BACKEND
"""
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from agentproc import agent_pids, free_port, read_ini, stop_agents, wait_for, write_ini  # noqa: E402
from backendproc import Backend  # noqa: E402

KESTRANE, VEROLUX, BACKEND = None, None, None
OFFLINE = "http://127.0.0.1:9"  # the update check fails at once


class Launcher(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kestrane-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.addCleanup(stop_agents, self.dir, 5)
        shutil.copy(KESTRANE, os.path.join(self.dir, "Kestrane"))
        shutil.copy(VEROLUX, os.path.join(self.dir, "Verolux"))
        os.makedirs(os.path.join(self.dir, "report"))

    def agent_pids(self):
        return agent_pids(self.dir)

    def agent_holds_lock(self):
        path = os.path.join(self.dir, "Verolux.lock")
        if not os.path.exists(path):
            return False
        with open(path) as f:
            try:
                fcntl.flock(f, fcntl.LOCK_SH | fcntl.LOCK_NB)
                return False
            except OSError:
                return True

    def launch(self):
        # The started agent inherits its port: a free one, never the agent's default.
        env = dict(os.environ, VEROLUX_PORT=str(free_port()))
        return subprocess.run([os.path.join(self.dir, "Kestrane")], capture_output=True, text=True, timeout=60,
                              env=env)

    def set_ini(self, old, new):
        path = os.path.join(self.dir, "MyIni.ini")
        text = open(path, encoding="utf-8").read()
        self.assertIn(old, text)
        open(path, "w", encoding="utf-8").write(text.replace(old, new))

    def start_agent_through_launcher(self):
        write_ini(self.dir, {"AppInfo": {"WebsUrl": OFFLINE}})
        self.assertEqual(self.launch().returncode, 0)
        self.assertTrue(wait_for(self.agent_holds_lock), "the launcher started the agent")
        self.assertTrue(wait_for(lambda: read_ini(self.dir).get("Verolux", {}).get("Show") == "0"))
        self.assertTrue(wait_for(lambda: "PrintVer" in read_ini(self.dir)["AppInfo"]))
        return read_ini(self.dir)

    def offer_release(self, file="Verolux"):
        """The demo backend offering agent 2.0.0 (a copy of the real one) as `file`."""
        backend = Backend(BACKEND, os.path.join(self.dir, "backend"))
        self.addCleanup(backend.stop)
        shutil.copy(VEROLUX, os.path.join(backend.releases, "Verolux"))
        self.offer(backend, file)
        return backend

    def offer(self, backend, file):
        with open(os.path.join(backend.releases, "latest-1.json"), "w") as f:
            f.write('{"ver":"2.0.0","url":"${BASE}/releases/%s","file":"%s"}' % (file, file))

    def test_agent_started_once_then_left_alone_while_its_version_is_recorded(self):
        ini = self.start_agent_through_launcher()
        pids = self.agent_pids()
        self.assertEqual(len(pids), 1)
        version = ini["AppInfo"]["PrintVer"]
        self.assertEqual(ini["AppInfo"]["ShellVer"], version, "built together")
        caption = open(os.path.join(self.dir, "Verolux.lock"), encoding="utf-8").read()
        self.assertEqual(caption, "Web报表服务端 (%s)" % version)

        # Found running: neither the start request nor the launcher's version is written.
        self.set_ini("ShellVer=", "ShellVer=marker-")
        self.assertEqual(self.launch().returncode, 0)
        ini = read_ini(self.dir)
        self.assertEqual(ini["Verolux"]["Show"], "0")
        self.assertTrue(ini["AppInfo"]["ShellVer"].startswith("marker-"))
        self.assertEqual(self.agent_pids(), pids)

        # Another recorded version: a second agent starts, sees the first, ends, leaves the request.
        self.set_ini("PrintVer=" + version, "PrintVer=0.9.1")
        self.assertEqual(self.launch().returncode, 0)
        self.assertTrue(wait_for(lambda: read_ini(self.dir)["AppInfo"]["PrintVer"] == version))
        self.assertTrue(wait_for(lambda: self.agent_pids() == pids))
        self.assertEqual(read_ini(self.dir)["Verolux"]["Show"], "1")

    def test_running_agent_is_found_by_the_version_read_before_the_update(self):
        # The check records 2.0.0, yet the running agent's caption holds the version read before it.
        self.start_agent_through_launcher()
        pids = self.agent_pids()
        backend = self.offer_release()
        self.set_ini("WebsUrl=" + OFFLINE, "WebsUrl=" + backend.base)
        self.set_ini("ShellVer=", "ShellVer=marker-")
        self.assertEqual(self.launch().returncode, 0)
        ini = read_ini(self.dir)
        self.assertEqual(ini["AppInfo"]["PrintVer"], "2.0.0")
        self.assertEqual(ini["Verolux"]["Show"], "0", "no start request for an agent that runs")
        self.assertTrue(ini["AppInfo"]["ShellVer"].startswith("marker-"))
        self.assertEqual(self.agent_pids(), pids)

    def test_only_the_agent_file_is_fetched_then_started(self):
        # An answer naming the settings file is ignored like any other failure.
        backend = self.offer_release("MyIni.ini")
        with open(os.path.join(backend.releases, "MyIni.ini"), "wb") as f:
            f.write(b"[Verolux]\r\nFoceShow=1\r\n")
        os.remove(os.path.join(self.dir, "Verolux"))
        write_ini(self.dir, {"AppInfo": {"WebsUrl": backend.base, "PrintVer": "1.0.0"}})
        self.assertEqual(self.launch().returncode, 0)
        ini = read_ini(self.dir)
        self.assertEqual(ini["AppInfo"]["PrintVer"], "1.0.0")
        self.assertNotIn("FoceShow", ini.get("Verolux", {}))
        self.assertEqual(backend.stats()["releaseDownloads"], {})
        # The agent: fetched once, made runnable, started.
        self.offer(backend, "Verolux")
        r = self.launch()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(backend.stats()["releaseDownloads"], {"Verolux": 1})
        self.assertTrue(os.access(os.path.join(self.dir, "Verolux"), os.X_OK))
        self.assertTrue(wait_for(self.agent_holds_lock), "downloaded agent not started")

    def test_agent_file_missing_starts_nothing_but_records_the_launcher(self):
        os.remove(os.path.join(self.dir, "Verolux"))
        # The last line ends in a bare CR: the launcher's key goes on a line of its own.
        with open(os.path.join(self.dir, "MyIni.ini"), "wb") as f:
            f.write(b"[AppInfo]\r\nWebsUrl=" + OFFLINE.encode() + b"\r")
        self.assertEqual(self.launch().returncode, 0)
        text = open(os.path.join(self.dir, "MyIni.ini"), "rb").read()
        self.assertIn(b"WebsUrl=" + OFFLINE.encode() + b"\r\nShellVer=", text)
        ini = read_ini(self.dir)
        self.assertRegex(ini["AppInfo"]["ShellVer"], r"^\d+\.\d+\.\d+$")
        self.assertNotIn("Verolux", ini, "no start request without an agent to start")

    def test_agent_that_cannot_start_is_reported(self):
        with open(os.path.join(self.dir, "Verolux"), "w") as f:
            f.write("not a program")
        write_ini(self.dir, {"AppInfo": {"WebsUrl": OFFLINE}})
        r = self.launch()
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("cannot start", r.stderr)
        self.assertEqual(read_ini(self.dir)["Verolux"]["Show"], "1")
        self.assertNotIn("ShellVer", read_ini(self.dir)["AppInfo"])


if __name__ == "__main__":
    KESTRANE, VEROLUX, BACKEND = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
