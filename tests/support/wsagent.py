"""The real agent for WebSocket client tests: start it, read what it logged, talk raw frames to it.

Every text message the agent receives goes to its print procedure; a text that is no print request
fails there, so the agent writes the message as one line into MyLog.txt and sends "RepPrint 过程出错！"
to every connected client. Each delivered message is therefore visible exactly once in the log file,
and each one earns every client one reply frame.
"""
import base64
import os
import re
import shutil
import socket
import struct
import tempfile
import unittest

from agentproc import Agent, free_port, read_ini, wait_for, wait_port, write_ini  # noqa: F401

# A closed local port: the start-up update check fails at once instead of waiting on the network.
OFFLINE = "http://127.0.0.1:9"
REPLY = "RepPrint 过程出错！"
DELIVERED_TEXT = "opText 收到完整数据，打印报表 "

_STAMP = re.compile(r"^\d{4}/\d{1,2}/\d{1,2} \d{1,2}:\d{2}:\d{2} ")


class AgentCase(unittest.TestCase):
    """One agent per test class in a fresh program folder; each test reads the log from where it began."""

    settings = {}  # more of MyIni.ini for a test class: {"Verolux": {"ListenAll": "1"}}
    display = None  # an X display for a test class; offscreen without
    env = {}  # more of the agent's environment
    prlimit = None  # the agent's open file limit, soft and hard

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(os.environ.get("VEROLUX_BIN_DIR", ""), "Verolux")):
            raise unittest.SkipTest("VEROLUX_BIN_DIR does not hold Verolux")
        if cls.prlimit and not shutil.which("prlimit"):
            raise unittest.SkipTest("no prlimit (util-linux)")
        cls.home = tempfile.TemporaryDirectory(prefix="verolux-")
        cls.folder = cls.home.name
        sections = {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}}
        for name, keys in cls.settings.items():
            sections.setdefault(name, {}).update(keys)
        write_ini(cls.folder, sections)
        cls.port = free_port()
        cls.url = "ws://127.0.0.1:%d/" % cls.port
        wrapper = ["prlimit", "--nofile=%d:%d" % (cls.prlimit, cls.prlimit), "--"] if cls.prlimit else ()
        cls.agent = Agent(os.environ["VEROLUX_BIN_DIR"], cls.folder, cls.port, extra_env=cls.env, display=cls.display,
                          stderr_path=os.path.join(cls.folder, "stderr.txt"), wrapper=wrapper)
        if not wait_port(cls.port, 15):
            cls.tearDownClass()
            raise AssertionError("the agent does not listen")

    @classmethod
    def tearDownClass(cls):
        cls.agent.stop(10)
        cls.home.cleanup()

    def setUp(self):
        self.assert_agent_alive()
        self.log_start = 0
        self.log_start = len(self.log_lines())

    # --- the log file ---------------------------------------------------------------------------

    def log_lines(self):
        """This test's entries of MyLog.txt without their time stamps; a half-written last one is left out."""
        path = os.path.join(self.folder, "MyLog.txt")
        with open(path, "rb") if os.path.exists(path) else open(os.devnull, "rb") as f:
            entries = f.read().decode("utf-8", "replace").split("\r\n")[:-1]
        for entry in entries:
            self.assertRegex(entry, _STAMP, "every log entry is stamped")
        return [_STAMP.sub("", entry, count=1) for entry in entries][self.log_start:]

    def wait_log(self, predicate, what, timeout=30.0):
        self.assertTrue(wait_for(lambda: predicate(self.log_lines()), timeout), "timed out waiting for " + what)
        return self.log_lines()

    def assert_delivered_once(self, lines, messages):
        """Each message is one log line, exactly once, in the order sent."""
        positions = []
        for m in messages:
            found = [i for i, line in enumerate(lines) if line == m]
            self.assertEqual(len(found), 1, "delivered exactly once: %r" % m[:80])
            positions.append(found[0])
        self.assertEqual(positions, sorted(positions), "delivered in the order sent")

    def assert_agent_alive(self):
        self.assertIsNone(self.agent.proc.poll(), "the agent is still running")

    def assert_served(self, **client):
        """A new connection is answered with 101 and its message with the reply; it also marks that
        the agent has handled whatever came before."""
        raw = RawClient(self.port, **client)
        self.assertTrue(raw.response.startswith(b"HTTP/1.1 101 "), raw.response[:40])
        raw.send(mask_frame(0x1, b"served"))
        self.assertEqual(raw.read_frame(), (0x81, REPLY.encode()))
        raw.close()


# --- raw frames, for what the client libraries hide --------------------------------------------

ZERO_KEY = b"\0\0\0\0"  # a masked frame whose payload goes out as it is


def header(opcode, length, fin=True, key=ZERO_KEY):
    """A masked client frame header in the shortest length form."""
    first = bytes([(0x80 if fin else 0) | opcode])
    if length <= 125:
        return first + bytes([0x80 | length]) + key
    if length <= 0xFFFF:
        return first + bytes([0x80 | 126]) + struct.pack(">H", length) + key
    return first + bytes([0x80 | 127]) + struct.pack(">Q", length) + key


def mask_frame(opcode, payload, fin=True, key=b"\x11\x22\x33\x44"):
    """A masked client frame, built here and not by the agent's encoder; the zero key spares the masking
    of a large payload."""
    if key != ZERO_KEY:
        payload = bytes(c ^ key[i % 4] for i, c in enumerate(payload))
    return header(opcode, len(payload), fin, key) + payload


def upgrade_request(port, host="127.0.0.1", origin=None, target="/"):
    return ("GET %s HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: %s\r\n"
            "Sec-WebSocket-Version: 13\r\n%s\r\n" % (target, host, port, base64.b64encode(os.urandom(16)).decode(),
                                                       "Origin: %s\r\n" % origin if origin else "")).encode()


class RawClient:
    """A plain TCP socket that does the opening handshake and reads server frames."""

    def __init__(self, port, timeout=10.0, origin=None, address="127.0.0.1", after=b"", host=None, target="/"):
        """after: bytes sent right behind the request, before any answer; host: the Host's name."""
        self.sock = socket.create_connection((address, port), timeout=timeout)
        host = host or ("[%s]" % address if ":" in address else address)
        self.buf = b""
        try:
            self.sock.sendall(upgrade_request(port, host, origin, target) + after)
            while b"\r\n\r\n" not in self.buf:
                self.buf += self.recv()
        except (OSError, EOFError):
            self.sock.close()
            raise
        end = self.buf.index(b"\r\n\r\n") + 4
        self.response, self.buf = self.buf[:end], self.buf[end:]

    def send(self, data, closing=False):
        """closing: the agent may close the connection meanwhile; what it said before stays to be read."""
        try:
            self.sock.sendall(data)
        except (BrokenPipeError, ConnectionResetError):
            if not closing:
                raise

    def recv(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise EOFError("connection closed")
        return chunk

    def read_frame(self):
        """(first byte, payload) of one unmasked server frame of up to 65,535 bytes."""
        while len(self.buf) < 2 or (self.buf[1] == 126 and len(self.buf) < 4):
            self.buf += self.recv()
        n, at = self.buf[1], 2
        if n == 126:
            n, at = struct.unpack(">H", self.buf[2:4])[0], 4
        while len(self.buf) < at + n:
            self.buf += self.recv()
        head, payload, self.buf = self.buf[0], self.buf[at:at + n], self.buf[at + n:]
        return head, payload

    def ping(self):
        """A ping and its pong: the agent has read everything sent before on this connection."""
        self.send(mask_frame(0x9, b""))
        assert self.read_frame() == (0x8A, b""), "pong"

    def read_until_eof(self, timeout=30.0):
        """All bytes the agent sends until it closes the connection (a reset after them counts as the close)."""
        self.sock.settimeout(timeout)
        data, self.buf = self.buf, b""
        try:
            while chunk := self.sock.recv(65536):
                data += chunk
        except ConnectionResetError:
            pass
        return data

    def close(self):
        self.sock.close()
