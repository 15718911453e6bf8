"""The real agent under load it must bear: a burst of connections, more connections than it has
descriptors, a message left unfinished, a message above the size limit (set to 64 MiB here). The
handshake timeout and the budget of unfinished messages are LinkerPoolTest's."""
import asyncio
import os
import socket
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wsagent import REPLY, AgentCase, RawClient, header, upgrade_request, wait_for  # noqa: E402

MIB = 1024 * 1024
LIMIT = 64 * MIB  # the agent's largest message, all fragments together, as set below


class Limits(AgentCase):
    settings = {"Verolux": {"MaxMessageMB": "64"}}  # below the default 256 MiB: less to send

    def rss_mib(self):
        with open("/proc/%d/status" % self.agent.proc.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
        raise AssertionError("no VmRSS")

    def idle_rss(self):
        """The agent's memory once it has served a message."""
        self.assert_served()
        return self.rss_mib()

    def wait_rss(self, holds, what):
        if os.environ.get("VEROLUX_SANITIZED"):
            return  # a sanitizer's allocator keeps freed memory by design: only the behaviour is checked
        self.assertTrue(wait_for(lambda: holds(self.rss_mib()), 30), "%s (now %.0f MiB)" % (what, self.rss_mib()))

    def test_thousand_simultaneous_connections_are_answered(self):
        request = upgrade_request(self.port)

        async def burst():
            conns = await asyncio.gather(*(asyncio.open_connection("127.0.0.1", self.port) for _ in range(1000)),
                                         return_exceptions=True)
            opened = [c for c in conns if not isinstance(c, BaseException)]
            for _, writer in opened:  # every connection opened before any asks for its upgrade
                writer.write(request)
            heads = await asyncio.gather(*(asyncio.wait_for(r.readuntil(b"\r\n\r\n"), 120) for r, _ in opened),
                                         return_exceptions=True)
            for _, writer in opened:
                writer.close()
            failed = [c for c in conns if isinstance(c, BaseException)]
            return failed + [h[:13] if isinstance(h, bytes) else h for h in heads]

        got = asyncio.run(burst())
        failed = [repr(g) for g in got if g != b"HTTP/1.1 101 "]
        self.assertEqual((len(got) - len(failed), failed[:3]), (1000, []))
        self.assert_served()

    def test_unfinished_message_is_freed_when_its_connection_closes(self):
        idle = self.idle_rss()
        raw = RawClient(self.port)
        size = 60 * MIB  # below the limit: kept until the connection ends
        raw.send(header(0x1, size, fin=False))
        chunk = b"u" * MIB
        for _ in range(size // MIB):
            raw.send(chunk)
        raw.send(header(0x0, MIB, fin=False))  # a continuation that never comes whole
        raw.send(chunk[:1000])
        self.wait_rss(lambda rss: rss > idle + 50, "the agent holds the unfinished message")
        raw.close()
        self.wait_rss(lambda rss: rss < idle + 20, "memory back near idle (%.0f MiB) after the close" % idle)
        self.assert_served()

    def test_message_above_the_limit_is_answered_and_dropped(self):
        idle = self.idle_rss()
        onlooker, raw = RawClient(self.port), RawClient(self.port)
        sent = 0
        chunk = b"o" * MIB
        try:
            raw.send(header(0x1, 16 * MIB, fin=False))
            while sent < 300 * MIB:
                for _ in range(16):
                    raw.send(chunk)
                sent += 16 * MIB
                raw.send(header(0x0, 16 * MIB, fin=False))
        except OSError:
            pass
        self.assertLessEqual(sent, LIMIT + 16 * MIB, "dropped at the fragment that passes the limit")
        self.assertEqual(raw.read_until_eof(), b"\x81" + bytes([len(REPLY.encode())]) + REPLY.encode(),
                         "answered as an unreadable request, then closed")
        self.assertEqual(onlooker.read_frame(), (0x81, REPLY.encode()), "every page is told")
        raw.close()
        onlooker.close()
        self.wait_rss(lambda rss: rss < idle + 20, "memory back near idle (%.0f MiB) after the drop" % idle)
        self.assert_served()


class Descriptors(AgentCase):
    prlimit = 256  # the agent's open file limit; it keeps 64 descriptors free of connections

    def test_more_connections_than_descriptors(self):
        # Beyond its connection limit the agent closes a connection at once; once they have all gone it
        # answers again.
        socks = []
        for _ in range(300):
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
        self.assertEqual(answered, 256 - 64)
        for s in socks:
            s.close()

        def served():
            try:
                self.assert_served()
                return True
            except (OSError, EOFError):
                return False  # refused while the agent still counts the closed ones

        self.assertTrue(wait_for(served, 30), "a new connection is answered once the others closed")


if __name__ == "__main__":
    unittest.main(verbosity=2)
