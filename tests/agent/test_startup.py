"""The agent's start conditions, run with the real binary in throw-away program folders (which start
leads where is decided in a table at a lower layer; here: the lock, the settings file, the leftovers)."""
import argparse
import os
import signal
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from agentproc import Agent, free_port, read_ini, temp_folder, wait_for, wait_port, write_ini  # noqa: E402

BIN = None
# A closed local port: the start-up update check fails at once instead of waiting on the network.
OFFLINE = "http://127.0.0.1:9"


class StartConditions(unittest.TestCase):
    def start(self, folder, port=None):
        agent = Agent(BIN, folder, port or free_port())
        self.addCleanup(agent.stop)
        return agent

    def request(self, folder, **verolux):
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": dict(Show="1", **verolux)})

    def started(self, folder):
        agent = self.start(folder)
        self.assertTrue(wait_port(agent.port), "the started agent listens on its port")
        # The version is recorded once the window has loaded, just after it listens.
        self.assertTrue(wait_for(lambda: "PrintVer" in read_ini(folder)["AppInfo"]))
        return agent

    def test_start_request_lock_and_second_copies(self):
        folder = temp_folder(self)
        report = os.path.join(folder, "report")
        os.makedirs(report)
        stale = [os.path.join(folder, ".MyIni.ini.a1B2c3"), os.path.join(report, ".t.grf.Zz9Yy8")]
        kept = [os.path.join(folder, ".keep"), os.path.join(report, "t.grf")]
        for path in stale + kept:
            open(path, "w").close()
        self.request(folder)
        first = self.started(folder)
        ini = read_ini(folder)
        self.assertEqual(ini["Verolux"]["Show"], "0", "the request is consumed")
        self.assertRegex(ini["AppInfo"]["PrintVer"], r"^\d+\.\d+\.\d+$")
        with open(os.path.join(folder, "Verolux.lock"), encoding="utf-8") as f:
            self.assertEqual(f.read(), "Web报表服务端 (%s)" % ini["AppInfo"]["PrintVer"])
        self.assertEqual([False, False, True, True], [os.path.exists(p) for p in stale + kept],
                         "temporary files a killed agent left are removed")

        # A second copy ends and leaves the request for the running one.
        self.request(folder)
        self.assertTrue(self.start(folder).exited_within(10))
        self.assertEqual(read_ini(folder)["Verolux"]["Show"], "1")
        self.assertTrue(first.alive(), "the first agent keeps running")

        # A forced start runs beside it: it takes the request; on the same port it cannot listen but stays.
        self.request(folder, FoceShow="1")
        forced = self.start(folder, port=first.port)
        self.assertTrue(wait_for(lambda: read_ini(folder)["Verolux"]["Show"] == "0"))
        self.assertTrue(forced.alive())
        self.assertEqual(read_ini(folder)["Verolux"]["FoceShow"], "1", "the agent never writes FoceShow")
        forced.stop()

        # A crashed agent does not block the next start.
        first.proc.send_signal(signal.SIGKILL)
        first.proc.wait()
        self.request(folder)
        self.started(folder)

    def test_no_request_ends_at_once_but_records_version_and_backend(self):
        # No settings file at all: the backend's default address is written, as it is only when empty.
        folder = temp_folder(self)
        agent = self.start(folder)
        self.assertTrue(agent.exited_within(30))
        self.assertEqual(agent.proc.returncode, 0)
        ini = read_ini(folder)
        self.assertRegex(ini["AppInfo"]["PrintVer"], r"^\d+\.\d+\.\d+$")
        self.assertRegex(ini["AppInfo"]["WebsUrl"], r"^https://[^/]+$")
        self.assertNotIn("Verolux", ini)
        self.assertFalse(os.path.exists(os.path.join(folder, "MyLog.txt")))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args, rest = parser.parse_known_args()
    BIN = args.bin
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
