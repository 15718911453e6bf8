"""What a person typing the programs' names sees: --help and --version of each program, the agent's
one-line reason when it is started by hand, and the launcher's mode that applies an administrator's
defaults."""
import argparse
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from agentproc import Agent, free_port, read_ini, temp_folder, wait_for, wait_port, write_ini  # noqa: E402

BIN = VERSION = None
OFFLINE = "http://127.0.0.1:9"  # a closed port: update checks fail at once


def run(program, *args, folder, env=None):
    env = dict(os.environ, VEROLUX_HOME=folder, QT_QPA_PLATFORM="offscreen", **(env or {}))
    return subprocess.run([os.path.join(BIN, program), *args], env=env, capture_output=True, text=True,
                          timeout=60)


class HelpAndVersion(unittest.TestCase):
    def test_each_program_answers_and_touches_nothing(self):
        for program in ("Verolux", "Kestrane", "verolux-render"):
            with self.subTest(program=program):
                folder = temp_folder(self)
                helped = run(program, "--help", folder=folder)
                self.assertEqual((helped.returncode, helped.stderr), (0, ""))
                self.assertTrue(helped.stdout.startswith("usage: " + program), helped.stdout)
                version = run(program, "--version", folder=folder)
                self.assertEqual((version.returncode, version.stdout), (0, "%s %s\n" % (program, VERSION)))
                # The starter asks copies it may replace: no settings written, no agent started.
                self.assertEqual(os.listdir(folder), [])


class AgentStartedByHand(unittest.TestCase):
    def test_it_says_why_it_ends_in_one_line(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}})
        ended = run("Verolux", folder=folder)
        self.assertEqual((ended.returncode, ended.stderr.count("\n")), (0, 1), ended.stderr)
        self.assertIn("no start request", ended.stderr)
        self.assertIn("Kestrane", ended.stderr)

        # A second copy, asked to start while one runs.
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        first = Agent(BIN, folder, free_port())
        self.addCleanup(first.stop)
        self.assertTrue(wait_port(first.port))
        # Its last start-up write (the version) comes after it listens; this write takes no lock.
        self.assertTrue(wait_for(lambda: "PrintVer" in read_ini(folder).get("AppInfo", {})))
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        second = run("Verolux", folder=folder)
        self.assertEqual((second.returncode, second.stderr.count("\n")), (0, 1), second.stderr)
        self.assertIn("already runs", second.stderr)


class AdministratorDefaults(unittest.TestCase):
    def test_fill_what_the_user_lacks_and_start_nothing_or_fail_without_the_file(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": "https://mine.example", "PrintVer": ""}})
        # The merge rules are a unit test; here the mode reads the file and writes the user's settings.
        defaults = os.path.join(temp_folder(self), "verolux.ini")
        with open(defaults, "w") as f:
            f.write("[AppInfo]\nWebsUrl=https://erp.example\nPrintVer=7.7.7\n[Trust]\nOrigins=https://erp.example\n")
        done = run("Kestrane", "--defaults", defaults, folder=folder)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(read_ini(folder), {"AppInfo": {"WebsUrl": "https://mine.example", "PrintVer": "7.7.7"},
                                            "Trust": {"Origins": "https://erp.example"}})
        # A file that is not there: a failure naming it, and nothing written.
        empty = temp_folder(self)
        done = run("Kestrane", "--defaults", os.path.join(empty, "absent.ini"), folder=empty)
        self.assertEqual(done.returncode, 1)
        self.assertIn("absent.ini", done.stderr)
        self.assertEqual(os.listdir(empty), [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--version", required=True)
    args, rest = parser.parse_known_args()
    BIN, VERSION = args.bin, args.version
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
