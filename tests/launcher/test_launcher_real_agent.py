"""Kestrane starting the real Verolux in throw-away program folders (both programs copied in)."""
import fcntl
import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from agentproc import read_ini, write_ini  # noqa: E402

KESTRANE, VEROLUX = None, None
OFFLINE = "http://127.0.0.1:9"  # the update check fails at once


def wait_for(cond, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        if cond():
            return True
        time.sleep(0.05)
    return cond()


class RealAgent(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kestrane-")
        self.addCleanup(self.cleanup)
        shutil.copy(KESTRANE, os.path.join(self.dir, "Kestrane"))
        shutil.copy(VEROLUX, os.path.join(self.dir, "Verolux"))
        os.makedirs(os.path.join(self.dir, "report"))

    def cleanup(self):
        for pid in self.agent_pids():
            try:
                os.kill(pid, 15)
            except ProcessLookupError:
                pass
        wait_for(lambda: not self.agent_pids(), 5)
        shutil.rmtree(self.dir, ignore_errors=True)

    def agent_pids(self):
        """Live Verolux processes started from this program folder."""
        mine = os.path.join(self.dir, "Verolux")
        pids = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    if os.readlink(f"/proc/{entry}/exe") == mine:
                        with open(f"/proc/{entry}/stat") as f:
                            if f.read().split(") ")[1][0] != "Z":
                                pids.append(int(entry))
                except OSError:
                    pass
        return pids

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
        code = os.spawnv(os.P_WAIT, os.path.join(self.dir, "Kestrane"), ["Kestrane"])
        self.assertEqual(code, 0)

    def start_agent_through_launcher(self):
        write_ini(self.dir, {"AppInfo": {"WebsUrl": OFFLINE}})
        self.launch()
        self.assertTrue(wait_for(self.agent_holds_lock), "the launcher started the agent")
        self.assertTrue(wait_for(lambda: read_ini(self.dir).get("Verolux", {}).get("Show") == "0"))
        self.assertTrue(wait_for(lambda: "PrintVer" in read_ini(self.dir)["AppInfo"]))
        return read_ini(self.dir)

    def test_agent_not_running_is_started_and_takes_up_the_request(self):
        ini = self.start_agent_through_launcher()
        self.assertEqual(len(self.agent_pids()), 1)
        self.assertRegex(ini["AppInfo"]["ShellVer"], r"^\d+\.\d+\.\d+$")
        self.assertEqual(ini["AppInfo"]["PrintVer"], ini["AppInfo"]["ShellVer"], "built together")
        caption = open(os.path.join(self.dir, "Verolux.lock"), encoding="utf-8").read()
        self.assertEqual(caption, "Web报表服务端 (%s)" % ini["AppInfo"]["PrintVer"])

    def test_running_agent_with_recorded_version_is_left_alone(self):
        self.start_agent_through_launcher()
        pids = self.agent_pids()
        ini_path = os.path.join(self.dir, "MyIni.ini")
        # Marks the two keys the launcher must not touch now.
        text = open(ini_path, encoding="utf-8").read().replace("ShellVer=", "ShellVer=marker-")
        open(ini_path, "w", encoding="utf-8").write(text)
        self.launch()
        time.sleep(0.5)
        ini = read_ini(self.dir)
        self.assertEqual(ini["Verolux"]["Show"], "0")
        self.assertTrue(ini["AppInfo"]["ShellVer"].startswith("marker-"))
        self.assertEqual(self.agent_pids(), pids, "nothing started")

    def test_other_recorded_version_starts_a_second_agent_that_ends_at_once(self):
        self.start_agent_through_launcher()
        pids = self.agent_pids()
        ini_path = os.path.join(self.dir, "MyIni.ini")
        text = open(ini_path, encoding="utf-8").read()
        version = read_ini(self.dir)["AppInfo"]["PrintVer"]
        open(ini_path, "w", encoding="utf-8").write(text.replace("PrintVer=" + version, "PrintVer=0.9.1"))
        self.launch()
        # The second agent sees the first one, ends, and leaves the request standing.
        self.assertTrue(wait_for(lambda: read_ini(self.dir)["AppInfo"]["PrintVer"] == version))
        self.assertTrue(wait_for(lambda: self.agent_pids() == pids))
        self.assertEqual(read_ini(self.dir)["Verolux"]["Show"], "1")

    def test_agent_file_missing_starts_nothing_but_records_the_launcher(self):
        os.remove(os.path.join(self.dir, "Verolux"))
        write_ini(self.dir, {"AppInfo": {"WebsUrl": OFFLINE}})
        self.launch()
        ini = read_ini(self.dir)
        self.assertRegex(ini["AppInfo"]["ShellVer"], r"^\d+\.\d+\.\d+$")
        self.assertNotIn("Verolux", ini, "no start request without an agent to start")
        self.assertFalse(self.agent_holds_lock())


if __name__ == "__main__":
    KESTRANE, VEROLUX = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
