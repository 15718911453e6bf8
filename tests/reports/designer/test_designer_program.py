#!/usr/bin/python3
"""verolux-designer on a 1280x800 virtual screen: it opens within the screen, autosaves an edit, and
after it is killed the next start asks whether to open the autosaved design; yes opens it, unsaved.

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/reports/designer/test_designer_program.py -v
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "e2e"))

from harness import XServer  # noqa: E402
from agentproc import stop_process, wait_for  # noqa: E402

BIN = os.path.join(os.environ.get("VEROLUX_BIN_DIR", ""), "verolux-designer")
SAMPLE = os.path.join(HERE, "..", "..", "..", "demo", "templates", "orders.grf")


class DesignerProgram(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="designer-program-")
        self.x = XServer("1280x800x24", wm=True)
        self.env = dict(self.x.env, HOME=self.work, XDG_DATA_HOME=os.path.join(self.work, "data"),
                        XDG_CONFIG_HOME=os.path.join(self.work, "config"))
        self.env.pop("QT_QPA_PLATFORM", None)
        self.procs = []

    def tearDown(self):
        for p in self.procs:
            stop_process(p, 10)
        self.x.stop()
        shutil.rmtree(self.work, ignore_errors=True)

    def start(self, *args):
        p = subprocess.Popen([BIN, *args], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def window(self, caption):
        found = []
        self.assertTrue(wait_for(lambda: found.extend(self.x.find(caption)) or found, 30), caption)
        return found[0]

    def test_fits_the_screen_and_offers_the_autosaved_design_after_a_crash(self):
        copy = os.path.join(self.work, "orders.grf")
        shutil.copy(SAMPLE, copy)
        designer = self.start(copy, "--autosave", "1")
        window = self.window("orders.grf - 报表设计器")
        shell = dict(t.split("=") for t in self.x.xdotool("getwindowgeometry", "--shell", window))
        self.assertLessEqual(int(shell["X"]) + int(shell["WIDTH"]), 1280)
        self.assertLessEqual(int(shell["Y"]) + int(shell["HEIGHT"]), 800)

        # Tab picks the first item, Shift+Right moves it 1 mm: an unsaved edit, autosaved within a second.
        self.x.xdotool("windowactivate", "--sync", window)
        self.x.xdotool("key", "--delay", 80, "Tab", "shift+Right")
        self.window("orders.grf* - 报表设计器")
        copies = os.path.join(self.work, "data", "Verolux", "verolux-designer", "recovery-*.grf")
        self.assertTrue(wait_for(lambda: glob.glob(copies), 30), "the autosaved copy")
        designer.kill()
        designer.wait()

        self.start()
        box = self.window("恢复报表")
        self.x.xdotool("windowactivate", "--sync", box, "key", "Return")  # yes, the default
        self.window("orders.grf* - 报表设计器")
        with open(glob.glob(copies)[0], "rb") as f:
            self.assertNotEqual(f.read(), open(SAMPLE, "rb").read(), "this designer's copy of the edit")


if __name__ == "__main__":
    unittest.main()
