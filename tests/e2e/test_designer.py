#!/usr/bin/python3
"""The designer loop with the real agent on a virtual X display: a design request opens the window, the
user edits the template and presses 保存, the backend serves the new template with the MD5 it was sent,
and the next print with that MD5 fetches it and shows the edit.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_designer.py -v Designer
VEROLUX_SCREENSHOTS=DIR keeps a picture of the window with the template loaded.
"""
import os
import subprocess
import time
import unittest
import urllib.parse

from harness import AgentCase, XServer, make_request, pdf_text, read_bytes, unique
from agentproc import wait_for  # noqa: E402  (harness puts it on the path)

CAPTION = "报表设计器"
EDIT = "Edited in the designer 42"


class Designer(AgentCase):
    @classmethod
    def setUpClass(cls):
        cls.x = XServer()
        cls.display = cls.x.display
        env = dict(os.environ, DISPLAY=cls.display)
        cls.wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            # A window mapped while the window manager still starts up may never be shown.
            if not wait_for(lambda: b"window id" in subprocess.run(
                    ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env, capture_output=True).stdout, 30):
                raise RuntimeError("openbox did not start")
            super().setUpClass()
        except Exception:
            cls._stop_display()
            raise

    @classmethod
    def _stop_display(cls):
        cls.wm.terminate()
        cls.wm.wait(10)
        cls.x.stop()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls._stop_display()

    def xdotool(self, *args):
        out = subprocess.run(["xdotool"] + [str(a) for a in args], env=dict(os.environ, DISPLAY=self.display),
                             capture_output=True, text=True)
        return out.stdout.split()

    def wait_window(self, caption, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            found = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % caption)
            if found:
                return found[0]
            time.sleep(0.05)
        self.fail("no window %r among %r; the agent said %r" % (caption, self.x.window_names(),
                                                                 self.clients.messages(0)))

    def wait_gone(self, window, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            if window not in self.xdotool("search", "--onlyvisible", "--name", "^%s$" % CAPTION):
                return
            time.sleep(0.05)
        self.fail("the window stayed")

    def click(self, window, x, y, count=1):
        self.xdotool("mousemove", "--window", window, x, y, "click", "--repeat", count, "--delay", 80, 1)

    def test_save_reaches_the_next_print(self):
        name = self.backend.add_template(unique("design") + ".grf")
        original = read_bytes(os.path.join(self.backend.templates, name))
        request = make_request(self.backend, name, preview="", sdesign="1",
                               md5=self.backend.template_md5(name),
                               report_add=self.backend.base + "/upload/template/" + urllib.parse.quote(name))
        self.send(request)
        window = self.wait_window(CAPTION)
        shots = os.environ.get("VEROLUX_SCREENSHOTS")
        if shots:
            time.sleep(1)  # the canvas paints
            self.x.screenshot(os.path.join(shots, "designer-window.png"), window=CAPTION)

        # The page has the keys when the template opens: Tab picks its first item (the title at the top
        # of the page header), Enter edits its text in place, typing replaces it, Enter ends the edit.
        self.xdotool("windowactivate", "--sync", window)
        self.xdotool("key", "--delay", 80, "Tab", "Return")
        self.xdotool("type", "--delay", 20, EDIT)
        self.xdotool("key", "Return")
        self.click(window, 132, 26)  # 保存
        box = self.wait_window("提示")
        self.xdotool("windowactivate", "--sync", box, "key", "Return")
        self.wait_gone(window)

        # The backend holds the template with the MD5 it was sent, and serves it as that version.
        upload, = self.backend.stats()["uploads"]
        self.assertEqual("/upload/template/" + name, upload["path"])
        self.assertEqual(request["reportId"], upload["st0"])
        self.assertEqual(upload["md5"], upload["st2"])
        self.assertEqual(upload["st2"], self.backend.template_md5(name))
        self.assertIn(EDIT.encode(), read_bytes(os.path.join(self.backend.uploads, name)),
                      "the double-click at the title's place did not open its editor")

        # Another desk still holds the old copy: the next print with the new MD5 fetches the new one.
        with open(os.path.join(self.agent.report_dir, name), "wb") as f:
            f.write(original)
        fetched = self.backend.downloads(name)
        pdf = self.send_pdf(make_request(self.backend, name, md5=upload["st2"], title="订单明细表"))
        self.assertEqual(fetched + 1, self.backend.downloads(name))
        text = pdf_text(pdf)
        self.assertIn(EDIT, text)
        self.assertNotIn("订单明细表", text)


if __name__ == "__main__":
    unittest.main()
