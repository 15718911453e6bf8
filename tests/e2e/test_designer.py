#!/usr/bin/python3
"""The designer window of the real agent with two pages connected, on a virtual X display: the designer's
own save (Ctrl+S) writes my.grf but leaves the edits not uploaded (the title says so), a design request
from the other page asks before it replaces them, and 保存 uploads to the request on screen.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_designer.py -v Designer
VEROLUX_SCREENSHOTS=DIR keeps a picture of the window, title bar included, after the designer's own save.
"""
import os
import subprocess
import unittest
import urllib.parse

from harness import AgentCase, make_request, read_bytes, unique

CAPTION = "报表设计器"
NOT_UPLOADED = CAPTION + " *（未上传）"
EDIT = "Kept in my.grf 7"


class Designer(AgentCase):
    display = "wm"

    def design_request(self, name):
        return make_request(self.backend, name, preview="", sdesign="1", md5=self.backend.template_md5(name),
                            report_add=self.backend.base + "/upload/template/" + urllib.parse.quote(name))

    def answer_box(self):
        """Answers the box with its default button; returns the box's height."""
        box = self.wait_window("提示")
        height, = [int(t[7:]) for t in self.x.xdotool("getwindowgeometry", "--shell", box) if t.startswith("HEIGHT=")]
        self.x.xdotool("windowactivate", "--sync", box, "key", "Return")
        self.wait_until(lambda: box not in self.x.find("提示"), "closing of the box")
        return height

    def test_control_save_stays_not_uploaded_and_the_other_page_asks(self):
        name = self.backend.add_template(unique("design") + ".grf")
        other = self.backend.add_template(unique("other") + ".grf")
        request = self.design_request(name)
        self.send(request)
        window = self.wait_window(CAPTION)
        # Tab picks the title, Enter edits it in place, Enter ends the edit; Ctrl+S is the designer's save.
        self.x.xdotool("windowactivate", "--sync", window)
        self.x.xdotool("key", "--delay", 80, "Tab", "Return")
        self.x.xdotool("type", "--delay", 20, EDIT)
        self.x.xdotool("key", "Return")
        self.assertEqual([window], self.wait_until(lambda: self.x.find(NOT_UPLOADED), "the not-uploaded title"))
        self.x.xdotool("key", "ctrl+s")
        my_grf = os.path.join(self.folder, "my.grf")
        self.wait_until(lambda: os.path.exists(my_grf) and EDIT.encode() in read_bytes(my_grf), "my.grf")
        self.assertEqual([window], self.x.find(NOT_UPLOADED))
        shots = os.environ.get("VEROLUX_SCREENSHOTS")
        if shots:
            subprocess.run(["import", "-frame", "-window", window,
                            os.path.join(shots, "design-window-not-uploaded.png")], env=self.x.env, check=True)

        # A request asks, from the same page or the other; the default answer (No) keeps the edits and their
        # request. The other page's question has a second line, naming where 保存 would upload then.
        self.send(self.design_request(other))
        same_page = self.answer_box()
        self.send(self.design_request(other), client=1)
        other_page = self.answer_box()
        self.assertGreater(other_page, same_page)
        self.assertEqual([window], self.x.find(NOT_UPLOADED))
        self.assertEqual([], self.backend.stats()["uploads"])

        # 保存 uploads the edits to the request on screen, then the window closes.
        self.x.xdotool("mousemove", "--window", window, 132, 26, "click", 1)
        self.answer_box()
        self.wait_until(lambda: not self.x.find(NOT_UPLOADED) and not self.x.find(CAPTION), "closing of the designer")
        upload, = self.backend.stats()["uploads"]
        self.assertEqual(("/upload/template/" + name, request["reportId"]), (upload["path"], upload["st0"]))
        self.assertIn(EDIT.encode(), read_bytes(os.path.join(self.backend.uploads, name)))


if __name__ == "__main__":
    unittest.main()
