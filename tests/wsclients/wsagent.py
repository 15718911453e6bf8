"""The real agent for WebSocket client tests: start it, read what it logged, talk raw frames to it.

Every text message the agent receives goes to its print procedure; a text that is no print request
fails there, so the agent writes the message as one line into MyLog.txt (a long one cut at 16 KiB,
with its size) and sends "RepPrint 过程出错！" to every connected client. Each delivered message is
therefore visible exactly once in the log file, and each one earns every client one reply frame.
"""
import base64
import os
import re
import socket
import struct
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from agentproc import Agent, free_port, temp_folder, wait_port, write_ini  # noqa: E402,F401

# A closed local port: the start-up update check fails at once instead of waiting on the network.
OFFLINE = "http://127.0.0.1:9"
REPLY = "RepPrint 过程出错！"
DELIVERED_TEXT = "opText 收到完整数据，打印报表 "
DELIVERED_CONTIN = "opContin 收到最后一个包，打印报表 "
FRAGMENT_TEXT = "分包数据,在 opText 中获取"
FRAGMENT_CONTIN = "分包数据,在 opContin 中获取"

# A failed request is logged whole up to 16 KiB, else cut there (whole characters) with its size.
LOGGED_REQUEST_BYTES = 16 * 1024


def logged(message):
    data = message.encode()
    if len(data) <= LOGGED_REQUEST_BYTES:
        return message
    cut = LOGGED_REQUEST_BYTES
    while cut > 0 and data[cut] & 0xC0 == 0x80:
        cut -= 1
    return data[:cut].decode() + "... (%d bytes)" % len(data)


_STAMP = re.compile(r"^\d{4}/\d{1,2}/\d{1,2} \d{1,2}:\d{2}:\d{2} ")


def bin_dir():
    return os.environ["VEROLUX_BIN_DIR"]


class AgentCase(unittest.TestCase):
    """Each test gets its own agent in a fresh program folder."""

    def setUp(self):
        self.folder = temp_folder(self)
        write_ini(self.folder, {"AppInfo": {"WebsUrl": OFFLINE}, "Verolux": {"Show": "1"}})
        self.port = free_port()
        self.agent = Agent(bin_dir(), self.folder, self.port)
        self.addCleanup(self.agent.proc.stderr.close)
        self.addCleanup(self.agent.stop)
        self.assertTrue(wait_port(self.port), "the agent listens")
        self.url = "ws://127.0.0.1:%d/" % self.port

    # --- the log file ---------------------------------------------------------------------------

    def log_lines(self):
        """The entries of MyLog.txt without their time stamps (CR LF separated)."""
        path = os.path.join(self.folder, "MyLog.txt")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            raw = f.read().decode("utf-8", "replace")
        lines = raw.split("\r\n")
        if lines and lines[-1] == "":
            lines.pop()
        out = []
        for line in lines:
            m = _STAMP.match(line)
            self.assertIsNotNone(m, "every log entry is stamped: %r" % line[:80])
            out.append(line[m.end():])
        return out

    def wait_log(self, predicate, timeout=30.0, what="log file condition"):
        end = time.time() + timeout
        lines = []
        while time.time() < end:
            lines = self.log_lines()
            if predicate(lines):
                return lines
            time.sleep(0.05)
        self.fail("timed out waiting for %s; last lines: %r" % (what, [l[:100] for l in lines[-10:]]))

    def assert_delivered_once(self, lines, messages):
        """Each message is one log line, exactly once, in the order sent."""
        positions = []
        for m in messages:
            found = [i for i, l in enumerate(lines) if l == logged(m)]
            self.assertEqual(len(found), 1, "delivered exactly once: %r" % m[:80])
            positions.append(found[0])
        self.assertEqual(positions, sorted(positions), "delivered in the order sent")

    def assert_agent_alive(self):
        self.assertIsNone(self.agent.proc.poll(), "the agent is still running")


# --- raw frames, for what the client libraries hide --------------------------------------------


def mask_frame(opcode, payload, fin=True, key=b"\x11\x22\x33\x44"):
    """A masked client frame, built here and not by the agent's encoder."""
    b0 = (0x80 if fin else 0) | opcode
    n = len(payload)
    if n <= 125:
        head = bytes([b0, 0x80 | n])
    elif n <= 0xFFFF:
        head = bytes([b0, 0x80 | 126]) + struct.pack(">H", n)
    else:
        head = bytes([b0, 0x80 | 127]) + struct.pack(">Q", n)
    masked = bytes(c ^ key[i % 4] for i, c in enumerate(payload))
    return head + key + masked


class RawClient:
    """A plain TCP socket that does the opening handshake and reads server frames."""

    def __init__(self, port, timeout=10.0):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        req = ("GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (port, key))
        self.sock.sendall(req.encode())
        self.buf = b""
        while b"\r\n\r\n" not in self.buf:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise ConnectionError("closed during the handshake")
            self.buf += chunk
        end = self.buf.index(b"\r\n\r\n") + 4
        self.response, self.buf = self.buf[:end], self.buf[end:]

    def send(self, data):
        self.sock.sendall(data)

    def _need(self, n):
        while len(self.buf) < n:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("connection closed")
            self.buf += chunk

    def read_raw(self, n):
        self._need(n)
        out, self.buf = self.buf[:n], self.buf[n:]
        return out

    def read_frame(self):
        """(first byte, payload) of one unmasked server frame."""
        head = self.read_raw(2)
        n = head[1] & 0x7F
        if n == 126:
            n = struct.unpack(">H", self.read_raw(2))[0]
        elif n == 127:
            n = struct.unpack(">Q", self.read_raw(8))[0]
        return head[0], self.read_raw(n)

    def read_until_eof(self, timeout=5.0):
        """All bytes the agent sends until it closes the connection."""
        self.sock.settimeout(timeout)
        data = self.buf
        self.buf = b""
        while True:
            chunk = self.sock.recv(65536)
            if not chunk:
                return data
            data += chunk

    def close(self):
        self.sock.close()
