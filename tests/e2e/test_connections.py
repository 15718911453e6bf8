#!/usr/bin/python3
"""The real agent at the edges of its connections: more connections than it has descriptors, peers that
never send their upgrade request, messages above the size limit, unfinished messages of several pages
at once.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_connections.py -v
"""
import json
import socket
import unittest

from harness import FAILED, NOT_FOUND, unique
from wsagent import OFFLINE, ZERO_KEY, AgentCase, RawClient, header, mask_frame, upgrade_request, wait_for
from wsclients import Clients

KIB, MIB = 1024, 1024 * 1024
FILE_LIMIT = 256  # the agent's open file limit in Descriptors
RESERVED = 64  # descriptors the agent keeps free of connections
HANDSHAKE_TIMEOUT_MS = 1000  # shortened for the test; 10 s otherwise


def request(repname, size=0):
    """A print request whose template cannot be fetched (the reply names repname), padded to size bytes."""
    r = {"preview": "2", "repname": repname, "reptype": "", "reguserno": "", "reprintname": "", "sdesign": "0",
         "reporturl": OFFLINE + "/t.grf", "reportmd5": "", "reportId": unique("rep"), "reportAdd": OFFLINE,
         "repdata": [], "pad": ""}
    text = json.dumps(r, ensure_ascii=False).encode()
    return text[:-2] + b"x" * max(0, size - len(text)) + b'"}'


def frame(opcode, payload, fin=True):
    return mask_frame(opcode, payload, fin, ZERO_KEY)


class Descriptors(AgentCase):
    prlimit = FILE_LIMIT
    env = {"VEROLUX_TEST_HANDSHAKE_TIMEOUT_MS": str(HANDSHAKE_TIMEOUT_MS)}

    def test_more_connections_than_descriptors(self):
        # Beyond its connection limit the agent closes a connection at once; once they have all gone it
        # answers again.
        socks = []
        for _ in range(FILE_LIMIT + 44):
            s = socket.create_connection(("127.0.0.1", self.port), timeout=60)
            s.sendall(upgrade_request(self.port))
            socks.append(s)
        answered = 0
        for s in socks:
            got = b""
            try:
                while b"\r\n\r\n" not in got and (chunk := s.recv(4096)):
                    got += chunk
            except ConnectionResetError:
                pass
            answered += got.startswith(b"HTTP/1.1 101 ")
        self.assertEqual(answered, FILE_LIMIT - RESERVED)
        for s in socks:
            s.close()

        def served():
            try:
                self.assert_served()
                return True
            except (OSError, EOFError):
                return False  # refused while the agent still counts the closed ones

        self.assertTrue(wait_for(served, 30), "a new connection is answered once the others closed")

    def test_connection_without_upgrade_request_is_closed(self):
        page = RawClient(self.port, 30)
        silent = socket.create_connection(("127.0.0.1", self.port), timeout=30)
        partial = socket.create_connection(("127.0.0.1", self.port), timeout=30)
        partial.sendall(upgrade_request(self.port)[:30])
        self.assertEqual(silent.recv(100), b"", "closed after the handshake timeout")
        self.assertEqual(partial.recv(100), b"")
        page.send(frame(0x1, b"still here"))
        self.assertEqual(page.read_frame(), (0x81, FAILED.encode()), "a handshaken page stays")
        for s in (page, silent, partial):
            s.close()


class MessageLimits(AgentCase):
    settings = {"Verolux": {"MaxMessageMB": "1"}}  # 1 MiB a message, 2 MiB for all unfinished ones

    def setUp(self):
        super().setUp()
        self.onlooker = Clients(self.port, 1)
        self.addCleanup(self.onlooker.close)

    def test_message_above_the_limit_is_answered_then_closed(self):
        # Announced in one frame header, and reached fragment by fragment: the pages hear what an
        # unreadable request gets, then the connection closes.
        for stream in (header(0x1, MIB + 1) + b"x" * 1000,
                       frame(0x1, b"x" * (600 * KIB), fin=False) + header(0x0, 600 * KIB) + b"x" * 1000):
            self.onlooker.clear()
            peer = RawClient(self.port, 30)
            peer.send(stream, closing=True)
            self.assertEqual(peer.read_until_eof(), b"\x81" + bytes([len(FAILED.encode())]) + FAILED.encode())
            self.assertTrue(self.onlooker.wait_all(FAILED), "every page is told")
            peer.close()
        self.assert_served()

    def test_unfinished_messages_wait_for_room(self):
        # A began first and may complete its message; B and C together keep at most 1 MiB, so C waits
        # unread until A's message is done, then gets on. Nothing is lost.
        a, b, c = RawClient(self.port, 30), RawClient(self.port, 30), RawClient(self.port, 30)
        first, second, third = unique("a"), unique("b"), unique("c")
        text_a, text_b = request(first, 950 * KIB), request(second, 950 * KIB)
        a.send(frame(0x1, text_a[:900 * KIB], fin=False))
        a.ping()
        b.send(frame(0x1, text_b[:900 * KIB], fin=False))
        b.ping()
        c.send(frame(0x1, request(third, 300 * KIB)))
        a.ping()
        a.ping()  # the agent has gone on since C's bytes came
        self.assertEqual(self.onlooker.messages(0), [], "C waits")
        a.send(frame(0x0, text_a[900 * KIB:]))
        self.assertTrue(wait_for(lambda: len(self.onlooker.messages(0)) == 2, 30), self.onlooker.messages(0))
        b.send(frame(0x0, text_b[900 * KIB:]))
        self.assertTrue(wait_for(lambda: len(self.onlooker.messages(0)) == 3, 30), self.onlooker.messages(0))
        self.assertEqual(self.onlooker.messages(0), [NOT_FOUND + n for n in (first, third, second)])
        for p in (a, b, c):
            p.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
