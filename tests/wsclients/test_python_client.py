"""python3-websockets against the real agent: fragments, a burst, a 10 MB message, close, ping."""
import asyncio
import socket
import time
import unittest

import websockets

from wsagent import (DELIVERED_CONTIN, DELIVERED_TEXT, FRAGMENT_CONTIN, FRAGMENT_TEXT, REPLY,
                     AgentCase, RawClient, mask_frame)

OP_CONT, OP_TEXT = 0x0, 0x1


def connect(url):
    # No keepalive pings (the agent's empty pong does not answer a ping with data), an unbounded
    # queue so a burst of replies never holds the client's reading back.
    return websockets.connect(url, ping_interval=None, max_queue=None, close_timeout=5,
                              max_size=None, compression=None)


async def replies(ws, count, timeout=60.0):
    got = []
    for _ in range(count):
        got.append(await asyncio.wait_for(ws.recv(), timeout))
    return got


class PythonClient(AgentCase):
    def test_message_is_delivered_and_answered(self):
        async def run():
            async with connect(self.url) as ws:
                await ws.send("python says hello")
                self.assertEqual(await replies(ws, 1), [REPLY])
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, ["python says hello"])
        self.assertEqual(lines.count(DELIVERED_TEXT), 1)

    def test_fragmented_send_arrives_as_one_message(self):
        async def run():
            async with connect(self.url) as ws:
                # A list: first frame text without FIN, continuations, then an empty final one.
                await ws.send(["list-frag-1 ", "list-frag-2 ", "list-frag-3"])
                self.assertEqual(await replies(ws, 1), [REPLY])
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, ["list-frag-1 list-frag-2 list-frag-3"])
        self.assertEqual([lines.count(t) for t in (FRAGMENT_TEXT, FRAGMENT_CONTIN, DELIVERED_CONTIN)], [1, 2, 1])
        self.assertNotIn("list-frag-1 ", lines, "no fragment is delivered on its own")

    def test_burst_of_500_messages(self):
        count = 500
        messages = ["burst %04d %s" % (i, "x" * (i % 37)) for i in range(count)]

        async def run():
            async with connect(self.url) as ws:
                for m in messages:  # no waiting for any answer in between
                    await ws.send(m)
                got = await replies(ws, count, timeout=120)
                self.assertEqual(got, [REPLY] * count)
                with self.assertRaises(asyncio.TimeoutError):
                    await asyncio.wait_for(ws.recv(), 0.5)  # one reply per message, no more
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, messages)
        self.assertEqual(lines.count(DELIVERED_TEXT), count)

    def test_ten_megabyte_message(self):
        unit = "十兆字节0123456789abcdef-"
        big = ("big-message:" + unit * (10 * 1024 * 1024 // len(unit.encode()) + 1))
        big_bytes = big.encode()
        self.assertGreater(len(big_bytes), 10 * 1024 * 1024)

        async def run():
            async with connect(self.url) as ws:
                await ws.send(big)
                self.assertEqual(await replies(ws, 1, timeout=120), [REPLY])
                await ws.send("after the big one")
                self.assertEqual(await replies(ws, 1), [REPLY])
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, [big, "after the big one"])
        self.assertEqual(lines.count(DELIVERED_TEXT), 2)

    def test_close_ends_connection_without_close_frame(self):
        async def run():
            async with connect(self.url) as ws:
                await ws.send("before close")
                self.assertEqual(await replies(ws, 1), [REPLY])
                start = time.monotonic()
                await ws.close()
                # The agent closes the socket: no close frame comes back, so the code is 1006, and
                # the client does not sit out its close timeout.
                self.assertLess(time.monotonic() - start, 2.0)
                self.assertEqual(ws.close_code, 1006)
        asyncio.run(run())

        raw = RawClient(self.port)
        raw.send(mask_frame(0x8, b"\x03\xe8"))  # close, status 1000
        self.assertEqual(raw.read_until_eof(), b"", "the socket is closed, no close frame sent")
        raw.close()

        async def again():
            async with connect(self.url) as ws:
                await ws.send("after close")
                self.assertEqual(await replies(ws, 1), [REPLY])
        asyncio.run(again())
        self.assert_delivered_once(self.log_lines(), ["before close", "after close"])
        self.assert_agent_alive()

    def test_ping(self):
        async def run():
            async with connect(self.url) as ws:
                # The agent's pong is always empty, so it answers exactly an empty ping.
                waiter = await ws.ping(b"")
                await asyncio.wait_for(waiter, 5)
                # A ping with data gets an empty pong, which the library cannot match to it; the
                # connection keeps working. The pong comes before the reply to the later message.
                unmatched = await ws.ping(b"data")
                await ws.send("after pings")
                self.assertEqual(await replies(ws, 1), [REPLY])
                self.assertFalse(unmatched.done())
                unmatched.cancel()
        asyncio.run(run())

        raw = RawClient(self.port)
        # A ping with data followed, in the same write, by a message: pong 8A 00, then the reply.
        raw.send(mask_frame(0x9, b"abcd") + mask_frame(OP_TEXT, b"after a raw ping"))
        self.assertEqual(raw.read_frame(), (0x8A, b""))
        self.assertEqual(raw.read_frame(), (0x81, REPLY.encode()))
        raw.send(mask_frame(0xA, b"unasked"))  # a pong is answered with a pong as well
        self.assertEqual(raw.read_frame(), (0x8A, b""))
        raw.close()
        self.assert_delivered_once(self.log_lines(), ["after pings", "after a raw ping"])


class TwoClients(AgentCase):
    def test_reply_does_not_precede_the_handshake_answer(self):
        # A page whose connection is accepted but whose upgrade request has not been answered yet
        # (it is on its way, or the agent has not read it) must not get a frame before the 101
        # answer: the client would read the frame as its status line and fail the handshake.
        late = socket.create_connection(("127.0.0.1", self.port), timeout=10)
        self.addCleanup(late.close)
        # The agent takes connections in order: once the second one is answered, the first one
        # holds a slot (the lower one), and the reply goes out to the slots in ascending order.
        first = RawClient(self.port)
        first.send(mask_frame(OP_TEXT, b"reply goes to every page"))
        self.assertEqual(first.read_frame(), (0x81, REPLY.encode()))
        first.close()
        late.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                     b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
        got = b""
        while b"\r\n\r\n" not in got:
            chunk = late.recv(4096)
            if not chunk:
                break
            got += chunk
        self.assertTrue(got.startswith(b"HTTP/1.1 101 "), "the handshake answer comes first: %r" % got[:40])


if __name__ == "__main__":
    unittest.main(verbosity=2)
