#!/usr/bin/python3
"""The real agent at the edges of its connections: more connections than it has descriptors, peers that
never send their upgrade request, messages above the size limit, unfinished messages of several pages
at once, and a reply longer than one frame.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_connections.py -v
"""
import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import unittest

from harness import BIN_DIR, FAILED, NOT_FOUND, unique
from agentproc import free_port, wait_for, wait_port, write_ini
from wsclients import Clients

OFFLINE = "http://127.0.0.1:9"  # a closed port: template downloads fail at once
KIB, MIB = 1024, 1024 * 1024
FILE_LIMIT = 256  # the agent's open file limit in Descriptors
RESERVED = 64  # descriptors the agent keeps free of connections
HANDSHAKE_TIMEOUT_MS = 1000  # shortened for the test; 10 s otherwise


def upgrade_request(port):
    key = base64.b64encode(os.urandom(16)).decode()
    return ("GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (port, key)).encode()


def header(opcode, length, fin=True):
    """A masked client frame header with the zero key, so that the payload goes out as it is."""
    first = bytes([(0x80 if fin else 0) | opcode])
    if length <= 125:
        return first + bytes([0x80 | length]) + b"\0\0\0\0"
    if length <= 0xFFFF:
        return first + bytes([0x80 | 126]) + struct.pack(">H", length) + b"\0\0\0\0"
    return first + bytes([0x80 | 127]) + struct.pack(">Q", length) + b"\0\0\0\0"


def frame(opcode, payload, fin=True):
    return header(opcode, len(payload), fin) + payload


def request(repname, size=0):
    """A print request whose template cannot be fetched (the reply names repname), padded to size bytes."""
    r = {"preview": "2", "repname": repname, "reptype": "", "reguserno": "", "reprintname": "", "sdesign": "0",
         "reporturl": OFFLINE + "/t.grf", "reportmd5": "", "reportId": unique("rep"), "reportAdd": OFFLINE,
         "repdata": [], "pad": ""}
    text = json.dumps(r, ensure_ascii=False).encode()
    return text[:-2] + b"x" * max(0, size - len(text)) + b'"}'


class Peer:
    """A raw connection: the upgrade, frames out, short server frames in."""

    def __init__(self, port, timeout=30):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.buf = b""
        try:
            self.sock.sendall(upgrade_request(port))
            while b"\r\n\r\n" not in self.buf:
                self.buf += self.recv()
        except (OSError, EOFError):
            self.sock.close()
            raise
        end = self.buf.index(b"\r\n\r\n") + 4
        self.status, self.buf = self.buf[:13], self.buf[end:]

    def recv(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise EOFError("closed")
        return chunk

    def send(self, data):
        try:
            self.sock.sendall(data)
        except (BrokenPipeError, ConnectionResetError):
            pass  # closed by the agent; what it said before is still there to read

    def read_frame(self):
        """(first byte, payload) of one unmasked server frame of up to 65,535 bytes."""
        while len(self.buf) < 2 or (self.buf[1] == 126 and len(self.buf) < 4):
            self.buf += self.recv()
        n, at = self.buf[1], 2
        if n == 126:
            n, at = struct.unpack(">H", self.buf[2:4])[0], 4
        while len(self.buf) < at + n:
            self.buf += self.recv()
        first, payload, self.buf = self.buf[0], self.buf[at:at + n], self.buf[at + n:]
        return first, payload

    def ping(self):
        """A ping and its pong: the agent has read everything sent before on this connection."""
        self.send(frame(0x9, b"p"))
        assert self.read_frame() == (0x8A, b""), "pong"

    def closed_after(self):
        """What the agent sent until it closed the connection (a reset after it counts as a close)."""
        data = self.buf
        try:
            while chunk := self.sock.recv(65536):
                data += chunk
        except ConnectionResetError:
            pass
        return data

    def close(self):
        self.sock.close()


class ConnectionCase(unittest.TestCase):
    settings = {}
    prlimit = None  # the agent's open file limit, soft and hard
    env = {}

    @classmethod
    def setUpClass(cls):
        if not BIN_DIR or not os.path.exists(os.path.join(BIN_DIR, "Verolux")):
            raise unittest.SkipTest("VEROLUX_BIN_DIR does not hold Verolux")
        if cls.prlimit and not shutil.which("prlimit"):
            raise unittest.SkipTest("no prlimit (util-linux)")
        cls.folder = tempfile.mkdtemp(prefix="verolux-e2e-")
        sections = {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}}
        for name, keys in cls.settings.items():
            sections.setdefault(name, {}).update(keys)
        write_ini(cls.folder, sections)
        cls.port = free_port()
        env = dict(os.environ, VEROLUX_HOME=cls.folder, QT_QPA_PLATFORM="offscreen", **cls.env)
        command = [os.path.join(BIN_DIR, "Verolux"), "--port", str(cls.port)]
        if cls.prlimit:
            command = ["prlimit", "--nofile=%d:%d" % (cls.prlimit, cls.prlimit), "--"] + command
        cls.stderr = open(os.path.join(cls.folder, "stderr.txt"), "wb")
        cls.proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=cls.stderr)
        if not wait_port(cls.port, 15):
            cls.tearDownClass()
            raise AssertionError("the agent does not listen")

    @classmethod
    def tearDownClass(cls):
        if cls.proc.poll() is None:
            cls.proc.terminate()
            cls.proc.wait(10)
        cls.stderr.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def setUp(self):
        self.assertIsNone(self.proc.poll(), "the agent runs")

    def assert_served(self):
        """A new connection on 127.0.0.1 is answered, and so is its message."""
        peer = Peer(self.port)
        try:
            self.assertEqual(peer.status, b"HTTP/1.1 101 ")
            peer.send(frame(0x1, b"served"))
            self.assertEqual(peer.read_frame(), (0x81, FAILED.encode()))
        finally:
            peer.close()


class Descriptors(ConnectionCase):
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
        page = Peer(self.port)
        silent = socket.create_connection(("127.0.0.1", self.port), timeout=30)
        partial = socket.create_connection(("127.0.0.1", self.port), timeout=30)
        partial.sendall(upgrade_request(self.port)[:30])
        self.assertEqual(silent.recv(100), b"", "closed after the handshake timeout")
        self.assertEqual(partial.recv(100), b"")
        page.send(frame(0x1, b"still here"))
        self.assertEqual(page.read_frame(), (0x81, FAILED.encode()), "a handshaken page stays")
        for s in (page, silent, partial):
            s.close()


class MessageLimits(ConnectionCase):
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
            peer = Peer(self.port)
            peer.send(stream)
            self.assertEqual(peer.closed_after(), b"\x81" + bytes([len(FAILED.encode())]) + FAILED.encode())
            self.assertTrue(self.onlooker.wait_all(FAILED), "every page is told")
            peer.close()
        self.assert_served()

    def test_unfinished_messages_wait_for_room(self):
        # A began first and may complete its message; B and C together keep at most 1 MiB, so C waits
        # unread until A's message is done, then gets on. Nothing is lost.
        a, b, c = Peer(self.port), Peer(self.port), Peer(self.port)
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
