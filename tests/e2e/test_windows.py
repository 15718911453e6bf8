#!/usr/bin/python3
"""The agent's windows on a virtual X display: a preview, and the designer loop (a design request opens
the window, the user edits the template and presses 保存, the backend serves the new template with the
MD5 it was sent, and the next print with that MD5 fetches it and shows the edit).

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_windows.py -v Windows
VEROLUX_SCREENSHOTS=DIR keeps a picture of the window with the template loaded.
"""
import os
import time
import unittest
import urllib.parse

from harness import AgentCase, make_request, order_rows, pdf_text, read_bytes, unique

CAPTION = "报表设计器"
EDIT = "Edited in the designer 42"


class Windows(AgentCase):
    display = "wm"

    def test_preview_window_and_nothing_else(self):
        # preview "1" opens a window captioned with the template name; nothing is sent or uploaded. How
        # the window loads and what it shows on failure are widget tests (tests/reports/windows).
        name = self.backend.add_template(unique("preview") + ".grf")
        request = make_request(self.backend, name, preview="1", rows=order_rows(4))
        self.send(request)
        self.wait_window("报表预览-" + name)
        self.assertEqual([[], []], self.settle())
        self.assertEqual([], self.backend.stats()["uploads"])
        self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, request["reportId"] + ".pdf")))

    def test_save_reaches_the_next_print(self):
        name = self.backend.add_template(unique("design") + ".grf")
        original = read_bytes(os.path.join(self.backend.templates, name))
        request = make_request(self.backend, name, preview="", sdesign="1", md5=self.backend.template_md5(name),
                               report_add=self.backend.base + "/upload/template/" + urllib.parse.quote(name))
        self.send(request)
        window = self.wait_window(CAPTION)
        shots = os.environ.get("VEROLUX_SCREENSHOTS")
        if shots:
            time.sleep(1)  # the canvas paints
            self.x.screenshot(os.path.join(shots, "designer-window.png"), window=CAPTION)

        # The page has the keys when the template opens: Tab picks its first item (the title at the top
        # of the page header), Enter edits its text in place, typing replaces it, Enter ends the edit.
        self.x.xdotool("windowactivate", "--sync", window)
        self.x.xdotool("key", "--delay", 80, "Tab", "Return")
        self.x.xdotool("type", "--delay", 20, EDIT)
        self.x.xdotool("key", "Return")
        self.x.xdotool("mousemove", "--window", window, 132, 26, "click", 1)  # 保存
        box = self.wait_window("提示")
        self.x.xdotool("windowactivate", "--sync", box, "key", "Return")
        self.wait_until(lambda: window not in self.x.find(CAPTION), "closing of the designer")

        # The backend holds the template with the MD5 it was sent, and serves it as that version.
        upload, = self.backend.stats()["uploads"]
        self.assertEqual(("/upload/template/" + name, request["reportId"], upload["md5"], self.backend.template_md5(name)),
                         (upload["path"], upload["st0"], upload["st2"], upload["st2"]))
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
