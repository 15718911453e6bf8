"""The agent's question whether a site's page may connect, on a real desktop (Xvfb + openbox) where
the user is typing into another window: keys typed meanwhile never answer it, a deliberate click
does, and pages of many sites get one question at a time. Pages that leave before their question
is shown free its place. A page that asks again (verolux=1) is test_browser's BrowserAsked.
The question queue's rules (one site at a time, a full queue, refusals) are tables in
tests/agent/SiteQuestion*Test.cpp; removing a site from the list is FrmServerTest's."""
import os
import select
import socket
import subprocess
import threading
import time
import unittest

from harness import AgentCase, wait_for
from agentproc import read_ini, stop_process
from wsagent import upgrade_request

QUESTION = "网站授权"
TYPIST = "Event Tester"  # xev's window
# frmSiteQuestion's fixed geometry: two 96x32 buttons at the bottom right, 16 px from the edges and
# 8 px apart, the tick box at the bottom left.
MARGIN, SPACING, BUTTON_W, BUTTON_H = 16, 8, 96, 32


def click_question(x, what):
    """A real click on the 允许, 拒绝 or tick box of the question on the screen of XServer x."""
    windows = x.find(QUESTION)
    if not windows:
        return
    window = windows[-1]
    geometry = dict(line.split("=") for line in x.xdotool("getwindowgeometry", "--shell", window))
    width, height = int(geometry["WIDTH"]), int(geometry["HEIGHT"])
    y = height - MARGIN - BUTTON_H // 2
    x_at = {"refuse": width - MARGIN - BUTTON_W // 2,
            "beside": width // 2,
            "allow": width - MARGIN - BUTTON_W - SPACING - BUTTON_W // 2,
            "remember": MARGIN + 8}[what]
    # The window may have gone meanwhile: the caller looks at the page's answer, not at this.
    subprocess.run(["xdotool", "mousemove", "--window", window, str(x_at), str(y), "click", "1"], env=x.env,
                   capture_output=True)


class SiteQuestion(AgentCase):
    display = "wm"

    def setUp(self):
        super().setUp()
        self.xev_out = open(os.path.join(self.work, "xev.%s.txt" % self._testMethodName), "w+b")
        self.addCleanup(self.xev_out.close)
        self.xev = subprocess.Popen(["xev", "-geometry", "600x300+40+40"], env=self.x.env, stdout=self.xev_out)
        self.addCleanup(stop_process, self.xev)
        self.typist = self.wait_window(TYPIST)
        subprocess.run(["xdotool", "windowactivate", "--sync", self.typist], env=self.x.env, check=True)

    def tearDown(self):
        self.assertFalse(self.x.find(QUESTION), "a question is left on the screen")

    # ---- pages and the question ---------------------------------------------------------------

    def page(self, origin, agent=None, target="/"):
        port = (agent or self.agent).port
        s = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.addCleanup(s.close)
        s.sendall(upgrade_request(port, origin=origin, target=target))
        return s

    def until_closed(self, page):
        got = b""
        while True:
            chunk = page.recv(4096)
            if not chunk:
                return got
            got += chunk

    def answered(self, page):
        return bool(select.select([page], [], [], 0)[0])

    def assert_refused(self, page):
        """The upgrade completes, then a close frame with 4403 "site-refused" and the end."""
        got = self.until_closed(page)
        self.assertTrue(got.startswith(b"HTTP/1.1 101 "), got[:40])
        self.assertTrue(got.endswith(b"\x88\x0e" + (4403).to_bytes(2, "big") + b"site-refused"), got[-20:])

    def assert_allowed(self, page):
        """The upgrade completes and the connection works: a ping gets its pong."""
        got = b""
        while b"\r\n\r\n" not in got:
            chunk = page.recv(4096)
            self.assertTrue(chunk, "closed: %r" % got[:40])
            got += chunk
        self.assertTrue(got.startswith(b"HTTP/1.1 101 "), got[:40])
        self.assert_pong(page, got[got.index(b"\r\n\r\n") + 4:])

    def assert_pong(self, page, got=b""):
        page.sendall(b"\x89\x80" + os.urandom(4))  # a masked, empty ping
        while len(got) < 2:
            chunk = page.recv(4096)
            self.assertTrue(chunk, "closed: %r" % got)
            got += chunk
        self.assertEqual(got[:2], b"\x8a\x00", "a pong")

    def focus(self):
        return self.x.xdotool("getwindowfocus")

    def click(self, what):
        click_question(self.x, what)

    def click_until_answered(self, page, what, timeout=30):
        """Clicks until the page has its answer: the question takes no click in its first second."""
        self.wait_window(QUESTION)
        self.assertTrue(wait_for(lambda: self.answered(page) or self.click(what), timeout, 0.1),
                        "the question took no click")

    def sites(self):
        return read_ini(self.folder).get("Sites", {})

    # ---- tests --------------------------------------------------------------------------------

    def test_keys_typed_elsewhere_answer_nothing(self):
        stop = threading.Event()

        def type_on():
            while not stop.is_set():
                subprocess.run(["xdotool", "key", "space", "Tab", "Return"], env=self.x.env)

        typist = threading.Thread(target=type_on)
        typist.start()
        try:
            page = self.page("https://evil.example")
            window = self.wait_window(QUESTION)
            # Well past the question's first second: typing goes on while it is on the screen.
            end = time.time() + 3
            while time.time() < end:
                self.assertEqual(self.focus(), [self.typist], "the question took the keyboard")
                self.assertFalse(self.answered(page), "answered while the user typed elsewhere")
        finally:
            stop.set()
            typist.join()
        shots = os.environ.get("VEROLUX_SCREENSHOT_DIR")
        if shots:
            self.x.screenshot(os.path.join(shots, "site-question.png"), QUESTION)
        self.assertIn(window, self.x.find(QUESTION), "the question is still waiting")
        self.assertFalse(self.answered(page))
        self.assertEqual(self.sites(), {})
        self.xev_out.seek(0)
        self.assertGreater(self.xev_out.read().count(b"KeyPress event"), 30,
                           "the keys went to the window in use")
        # A deliberate click refuses; nothing is remembered without the tick.
        self.click_until_answered(page, "refuse")
        self.assert_refused(page)
        self.assertEqual(self.sites(), {})

    def test_a_click_allows_for_this_run(self):
        page = self.page("https://erp.other.example")
        self.click_until_answered(page, "allow")
        self.assert_allowed(page)
        self.assertEqual(self.focus(), [self.typist], "a click on the question leaves the keyboard where it was")
        self.assertEqual(self.sites(), {}, "not ticked: not remembered")
        again = self.page("https://erp.other.example")
        self.assert_allowed(again)  # held for this run: no question

    def test_keys_after_a_click_on_the_question(self):
        page = self.page("https://keys.example")
        window = self.wait_window(QUESTION)
        # Between the tick box and the buttons: the question takes the focus once its buttons are active.
        self.assertTrue(wait_for(lambda: self.focus() == [window] or self.click("beside"), 30, 0.1),
                        "a click on the question gave it no focus")
        # Its focus starts on 拒绝, which Space presses once a second has passed without a key.
        self.assertTrue(wait_for(lambda: self.answered(page) or self.x.xdotool("key", "space"), 30, 1.5))
        self.assert_refused(page)
        self.assertEqual(self.sites(), {})

    def test_pages_that_leave_free_their_places(self):
        # Five sites whose pages connect and go at once: the agent has seen each go once it closes too.
        for i in range(5):
            page = self.page("https://hostile%d.example" % i)
            page.shutdown(socket.SHUT_WR)
            self.until_closed(page)
        # The first one's question is on the screen; the places behind it are free again.
        sixth = self.page("https://sixth.example")
        self.wait_window(QUESTION)
        self.click_until_answered(sixth, "allow")  # after the first question, the sixth site's
        self.assert_allowed(sixth)


if __name__ == "__main__":
    unittest.main(verbosity=2)
