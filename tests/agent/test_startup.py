"""The agent's start conditions, run with the real binary in throw-away program folders."""
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

    def test_start_request_starts_hidden_agent_and_is_consumed(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        agent = self.start(folder)
        self.assertTrue(wait_port(agent.port), "the started agent listens on its port")
        # The version is recorded once the window has loaded, just after it listens.
        self.assertTrue(wait_for(lambda: "PrintVer" in read_ini(folder)["AppInfo"]))
        ini = read_ini(folder)
        self.assertEqual(ini["Verolux"]["Show"], "0")
        self.assertRegex(ini["AppInfo"]["PrintVer"], r"^\d+\.\d+\.\d+$")
        caption = open(os.path.join(folder, "Verolux.lock"), encoding="utf-8").read()
        self.assertEqual(caption, "Web报表服务端 (%s)" % ini["AppInfo"]["PrintVer"])

    def test_no_request_ends_at_once_but_records_version(self):
        # Blanks around a value are dropped when it is read, so a value keeps them only in quotes.
        for show in (None, "0", '" 1"', '"1 "', "true"):
            with self.subTest(show=show):
                folder = temp_folder(self)
                sections = {"AppInfo": {"WebsUrl": OFFLINE}}
                if show is not None:
                    sections["Verolux"] = {"Show": show}
                write_ini(folder, sections)
                agent = self.start(folder)
                self.assertTrue(agent.exited_within(10))
                self.assertEqual(agent.proc.returncode, 0)
                ini = read_ini(folder)
                self.assertRegex(ini["AppInfo"]["PrintVer"], r"^\d+\.\d+\.\d+$")
                self.assertEqual(ini.get("Verolux", {}).get("Show"), show)
                self.assertFalse(os.path.exists(os.path.join(folder, "MyLog.txt")))

    def test_second_copy_ends_and_leaves_the_request(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        first = self.start(folder)
        self.assertTrue(wait_port(first.port))
        # The first copy's last start-up write (its version) must not race the rewrite below.
        self.assertTrue(wait_for(lambda: "PrintVer" in read_ini(folder)["AppInfo"]))
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        second = self.start(folder)
        self.assertTrue(second.exited_within(10))
        ini = read_ini(folder)
        self.assertEqual(ini["Verolux"]["Show"], "1")
        self.assertIn("PrintVer", ini["AppInfo"])
        self.assertIsNone(first.proc.poll(), "the first agent keeps running")

    def test_forced_start_runs_beside_another_copy(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1", "FoceShow": "1"}})
        first = self.start(folder)
        self.assertTrue(wait_port(first.port))
        # The second one starts although a copy runs; on the same port it cannot listen but stays.
        second = self.start(folder, port=first.port)
        self.assertFalse(second.exited_within(2))
        ini = read_ini(folder)
        self.assertEqual(ini["Verolux"]["Show"], "0")
        self.assertEqual(ini["Verolux"]["FoceShow"], "1", "the agent never writes FoceShow")

    def test_crashed_agent_does_not_block_the_next_start(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        first = self.start(folder)
        self.assertTrue(wait_port(first.port))
        first.proc.send_signal(signal.SIGKILL)
        first.proc.wait()
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        second = self.start(folder)
        self.assertTrue(wait_port(second.port))

    def test_temporary_files_left_by_a_killed_agent_are_removed(self):
        folder = temp_folder(self)
        report = os.path.join(folder, "report")
        os.makedirs(report)
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        stale = [os.path.join(folder, ".MyIni.ini.a1B2c3"), os.path.join(report, ".t.grf.Zz9Yy8")]
        kept = [os.path.join(folder, ".keep"), os.path.join(report, "t.grf")]
        for path in stale + kept:
            open(path, "w").close()
        self.assertTrue(wait_port(self.start(folder).port))
        self.assertEqual([False, False, True, True], [os.path.exists(p) for p in stale + kept])

    def test_backend_url_written_only_when_empty(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": "not a url at all"}})
        self.assertTrue(self.start(folder).exited_within(10))
        self.assertEqual(read_ini(folder)["AppInfo"]["WebsUrl"], "not a url at all")

        folder = temp_folder(self)
        self.assertTrue(self.start(folder).exited_within(30))
        self.assertRegex(read_ini(folder)["AppInfo"]["WebsUrl"], r"^https://[^/]+$")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args, rest = parser.parse_known_args()
    BIN = args.bin
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
