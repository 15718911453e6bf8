"""Starting the agent again while it runs brings up the running agent's window: the real binary on a
virtual X display (Xvfb), the window looked for by its caption with xdotool. Skipped (77) without them."""
import argparse
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from agentproc import Agent, free_port, read_ini, stop_process, temp_folder, wait_for, wait_port, write_ini  # noqa: E402

BIN = None
SKIP = 77
OFFLINE = "http://127.0.0.1:9"  # a closed port: update checks fail at once


class ShowRunningAgent(unittest.TestCase):
    def setUp(self):
        read_end, write_end = os.pipe()
        self.x = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                                   "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.display = ":" + f.readline().strip()
        self.addCleanup(stop_process, self.x)

    def visible(self, caption):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % caption.replace("(", "\\(")
                                .replace(")", "\\)").replace(".", "\\.")],
                               env=dict(os.environ, DISPLAY=self.display), capture_output=True, text=True)
        return found.stdout.split()

    def test_second_start_shows_the_window_and_changes_no_setting(self):
        folder = temp_folder(self)
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        agent = Agent(BIN, folder, free_port(), display=self.display)
        self.addCleanup(agent.stop)
        self.assertTrue(wait_port(agent.port))
        self.assertTrue(wait_for(lambda: "PrintVer" in read_ini(folder).get("AppInfo", {})))
        caption = "Web报表服务端 (%s)" % read_ini(folder)["AppInfo"]["PrintVer"]
        self.assertEqual(self.visible(caption), [], "the agent starts hidden")

        # The launcher's request left behind (it did not find the agent), as with another version recorded.
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        env = dict(os.environ, VEROLUX_HOME=folder, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        again = subprocess.run([os.path.join(BIN, "Verolux")], env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual((again.returncode, again.stderr),
                         (0, "Verolux: Verolux already runs from this folder; its window is shown.\n"))
        self.assertTrue(wait_for(lambda: self.visible(caption), 20), "the running agent's window is shown")
        self.assertEqual(read_ini(folder)["Verolux"]["Show"], "1", "the request stays as it was")
        self.assertTrue(agent.alive())

        # Ended by a signal, the agent leaves its socket file: the next start is not misled by it.
        agent.stop()
        self.assertTrue(os.path.exists(os.path.join(folder, "Verolux.sock")))
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "0"}})
        ended = subprocess.run([os.path.join(BIN, "Verolux")], env=env, capture_output=True, text=True, timeout=60)
        self.assertIn("no start request", ended.stderr)
        # The next agent replaces the stale file and answers there.
        write_ini(folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        agent = Agent(BIN, folder, free_port(), display=self.display)
        self.addCleanup(agent.stop)
        self.assertTrue(wait_port(agent.port))
        again = subprocess.run([os.path.join(BIN, "Verolux")], env=env, capture_output=True, text=True, timeout=60)
        self.assertIn("its window is shown", again.stderr)
        self.assertTrue(wait_for(lambda: self.visible(caption), 20))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args, rest = parser.parse_known_args()
    BIN = args.bin
    if not (shutil.which("Xvfb") and shutil.which("xdotool")):
        print("skipped: needs Xvfb and xdotool")
        sys.exit(SKIP)
    program = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
