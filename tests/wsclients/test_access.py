"""Who may drive the real agent: it listens on loopback only, answers real upgrade requests only,
takes masked frames only, wants this machine's name as Host, and lets a page in by its site: trusted
without asking, allow-listed, asked about on the desktop, or refused."""
import os
import socket
import subprocess
import sys
import unittest

from wsagent import OFFLINE, REPLY, AgentCase, RawClient, mask_frame, read_ini, upgrade_request, wait_for

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import XServer  # noqa: E402

MARK = "must not be carried out"
SITE = "https://erp.example.com"


def lan_address():
    """A non-loopback IPv4 address of this machine, or None."""
    out = subprocess.run(["ip", "-o", "-4", "addr", "show", "scope", "global"], capture_output=True, text=True).stdout
    return out.split()[3].split("/")[0] if out.strip() else None


class AccessCase(AgentCase):
    def assert_refused(self, status, **client):
        raw = RawClient(self.port, after=mask_frame(0x1, MARK.encode()), **client)
        self.assertTrue(raw.response.startswith(b"HTTP/1.1 %d " % status), raw.response[:40])
        self.assertEqual(raw.read_until_eof(), b"", "nothing but the refusal, then the close")
        raw.close()

    def assert_site_refused(self, origin):
        """The upgrade completes, then a close frame with 4403 "site-refused" and the end."""
        raw = RawClient(self.port, origin=origin, after=mask_frame(0x1, MARK.encode()))
        self.assertTrue(raw.response.startswith(b"HTTP/1.1 101 "), raw.response[:40])
        self.assertEqual(raw.read_until_eof(), b"\x88\x0e" + (4403).to_bytes(2, "big") + b"site-refused")
        raw.close()

    def assert_nothing_carried_out(self):
        self.assert_served()
        self.assertNotIn(MARK, self.log_lines())


class Default(AccessCase):
    """Loopback only; unknown sites are asked about on the desktop, which there is none of here."""

    settings = {"Sites": {SITE: "1", "https://old.example": "0"}}

    def test_cross_site_post_gets_400_and_prints_nothing(self):
        # What any web page can send without a WebSocket: a form post whose body holds a frame.
        body = mask_frame(0x1, MARK.encode())
        post = ("POST / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nOrigin: https://evil.example\r\n"
                "Content-Type: text/plain\r\nContent-Length: %d\r\n\r\n" % (self.port, len(body))).encode()
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall(post + body)
            self.assertTrue(s.recv(4096).startswith(b"HTTP/1.1 400 "))
        self.assert_nothing_carried_out()

    def test_unmasked_frame_closes_the_connection_before_it_is_carried_out(self):
        raw = RawClient(self.port)
        raw.send(bytes([0x81, len(MARK)]) + MARK.encode())
        self.assertEqual(raw.read_until_eof(), b"")
        raw.close()
        self.assert_nothing_carried_out()

    def test_foreign_host_gets_403(self):
        self.assert_refused(403, host="rebound.example")  # a foreign name resolving to 127.0.0.1
        self.assert_nothing_carried_out()

    def test_sites(self):
        self.assert_served(origin=OFFLINE)  # the backend's own site (WebsUrl), without asking
        self.assert_served()  # a local program sends no Origin
        self.assert_served(origin=SITE)  # allowed in [Sites]
        self.assert_site_refused("https://old.example")  # refused in [Sites]
        self.assert_site_refused("https://evil.example")  # nobody to ask: no
        self.assert_nothing_carried_out()
        self.assertNotIn("https://evil.example", read_ini(self.folder)["Sites"], "a no by default is not kept")

    @unittest.skipUnless(lan_address(), "no non-loopback address on this machine")
    def test_loopback_only(self):
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((lan_address(), self.port), timeout=5)
        if socket.has_ipv6:
            self.assert_served(address="::1")


class ListenAllListedOnly(AccessCase):
    settings = {"Verolux": {"ListenAll": "1", "SitePolicy": "listed"}, "Sites": {SITE: "1"}}

    @unittest.skipUnless(lan_address(), "no non-loopback address on this machine")
    def test_lan_address_answers(self):
        self.assert_served(address=lan_address())

    def test_only_listed_sites(self):
        self.assert_served(origin=SITE)
        self.assert_site_refused("https://unknown.example")


class DesktopQuestion(AccessCase):
    """The agent on an X display asks the user; the test answers as the user would, with the keys."""

    @classmethod
    def setUpClass(cls):
        cls.x = XServer("1024x768x24", wm=True)  # the question is shown once openbox manages windows
        cls.env = cls.x.env
        cls.display = cls.x.display
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.x.stop()

    def question_window(self):
        # Polled: "xdotool search --sync" now and then misses a window mapped while it waits.
        found = []
        search = ["xdotool", "search", "--onlyvisible", "--name", "网站授权"]
        self.assertTrue(wait_for(lambda: found.extend(subprocess.run(search, env=self.env, capture_output=True,
                                                                     text=True).stdout.split()) or found, 30),
                        "no question on the desktop")
        return found[0]

    def test_allowed_and_remembered(self):
        page = socket.create_connection(("127.0.0.1", self.port), timeout=20)
        self.addCleanup(page.close)
        page.sendall(upgrade_request(self.port, "localhost", SITE) + mask_frame(0x1, b"sent before the answer"))
        window = self.question_window()
        shots = os.environ.get("VEROLUX_SCREENSHOT_DIR")
        if shots:
            self.x.screenshot(os.path.join(shots, "site-question.png"))
        subprocess.run(["xdotool", "windowactivate", "--sync", window], env=self.env, check=True)
        for key in ("alt+r", "alt+a"):  # 记住我的选择, 允许
            subprocess.run(["xdotool", "key", "--clearmodifiers", key], env=self.env, check=True)
        got = b""
        while REPLY.encode() not in got:
            chunk = page.recv(4096)
            self.assertTrue(chunk, "closed: %r" % got[:40])
            got += chunk
        self.assertTrue(got.startswith(b"HTTP/1.1 101 "), got[:40])
        self.assertEqual(read_ini(self.folder)["Sites"], {SITE: "1"})
        # Remembered: the next page of the site is let in without a question.
        self.assert_served(origin=SITE)


if __name__ == "__main__":
    unittest.main(verbosity=2)
