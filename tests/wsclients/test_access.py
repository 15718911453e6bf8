"""Who may drive the real agent: it listens on loopback only, answers real upgrade requests only,
takes masked frames only, wants this machine's name as Host, and lets a page in by its site: trusted
without asking, allow-listed, or refused (the question on the desktop: e2e/test_site_question.py)."""
import os
import socket
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wsagent import OFFLINE, AgentCase, RawClient, mask_frame, read_ini  # noqa: E402

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

    def test_refused_requests_carry_out_nothing(self):
        # Each answer is a row of HandshakeTest or SessionTest; here, the real agent runs none of the bytes.
        # What any web page can send without a WebSocket: a form post whose body holds a frame.
        body = mask_frame(0x1, MARK.encode())
        post = ("POST / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nOrigin: https://evil.example\r\n"
                "Content-Type: text/plain\r\nContent-Length: %d\r\n\r\n" % (self.port, len(body))).encode()
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall(post + body)
            self.assertTrue(s.recv(4096).startswith(b"HTTP/1.1 400 "))
        raw = RawClient(self.port)
        raw.send(bytes([0x81, len(MARK)]) + MARK.encode())  # unmasked
        self.assertEqual(raw.read_until_eof(), b"")
        raw.close()
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
