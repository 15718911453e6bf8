"""python3-websockets against the real agent: fragments, bursts, a 10 MB message, close, ping, Chinese."""
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

    def test_fragmented_sends_arrive_as_one_message(self):
        async def slow_fragments():
            for part in ("async-frag-1 ", "async-frag-2 ", "async-frag-3"):
                yield part
                await asyncio.sleep(0.05)  # separate arrivals at the agent

        async def run():
            async with connect(self.url) as ws:
                # A list: first frame text without FIN, continuations, then an empty final one.
                await ws.send(["list-frag-1 ", "list-frag-2 ", "list-frag-3"])
                self.assertEqual(await replies(ws, 1), [REPLY])
                await ws.send(slow_fragments())
                self.assertEqual(await replies(ws, 1), [REPLY])
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, ["list-frag-1 list-frag-2 list-frag-3",
                                           "async-frag-1 async-frag-2 async-frag-3"])
        self.assertEqual(lines.count(FRAGMENT_TEXT), 2)
        self.assertEqual(lines.count(FRAGMENT_CONTIN), 4)
        self.assertEqual(lines.count(DELIVERED_CONTIN), 2)
        self.assertEqual(lines.count(DELIVERED_TEXT), 0)
        for part in ("list-frag-1 ", "list-frag-2 ", "async-frag-3"):
            self.assertNotIn(part, lines, "no fragment is delivered on its own")

    def test_chinese_text_split_inside_characters(self):
        whole = "打印报表：你好，世界！"
        data = whole.encode("utf-8")
        cases = {
            "whole": [data],
            "cut after the first byte of a character": [data[:1], data[1:]],
            "cut in the middle of every character": [data[i:i + 2] for i in range(0, len(data), 2)],
        }
        sent = []

        async def run():
            async with connect(self.url) as ws:
                for name, parts in cases.items():
                    text = name + ":" + whole
                    head = (name + ":").encode() + parts[0]
                    pieces = [head] + parts[1:]
                    # The library encodes each str fragment on its own; raw frames split characters.
                    for i, piece in enumerate(pieces):
                        last = i == len(pieces) - 1
                        await ws.write_frame(last, OP_TEXT if i == 0 else OP_CONT, piece)
                        await asyncio.sleep(0.01)
                    sent.append(text)
                    self.assertEqual(await replies(ws, 1), [REPLY])
                await ws.send("整条中文消息：模板、数据、参数")
                sent.append("整条中文消息：模板、数据、参数")
                self.assertEqual(await replies(ws, 1), [REPLY])
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, sent)
        self.assertFalse(any("\ufffd" in l for l in lines), "no replacement characters")

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
    def test_reply_reaches_both(self):
        async def run():
            async with connect(self.url) as a, connect(self.url) as b:
                await a.send("from client a")
                self.assertEqual(await replies(a, 1), [REPLY])
                self.assertEqual(await replies(b, 1), [REPLY])
                await b.send("from client b")
                self.assertEqual(await replies(a, 1), [REPLY])
                self.assertEqual(await replies(b, 1), [REPLY])
        asyncio.run(run())
        self.assert_delivered_once(self.log_lines(), ["from client a", "from client b"])

    def test_interleaved_fragments_keep_apart(self):
        async def run():
            async with connect(self.url) as a, connect(self.url) as b:
                steps = [(a, False, OP_TEXT, "A-first "), (b, False, OP_TEXT, "B-first "),
                         (a, False, OP_CONT, "A-middle "), (b, True, OP_CONT, "B-last"),
                         (a, True, OP_CONT, "A-last")]
                for ws, fin, op, text in steps:
                    await ws.write_frame(fin, op, text.encode())
                    await asyncio.sleep(0.05)  # each step is its own arrival
                # Two messages delivered: each client hears both replies.
                self.assertEqual(await replies(a, 2), [REPLY, REPLY])
                self.assertEqual(await replies(b, 2), [REPLY, REPLY])
        asyncio.run(run())
        self.assert_delivered_once(self.log_lines(), ["B-first B-last", "A-first A-middle A-last"])

    def test_reply_does_not_precede_the_handshake_answer(self):
        # A page whose connection is accepted but whose upgrade request has not been answered yet
        # (it is on its way, or the agent has not read it) must not get a frame before the 101
        # answer: the client would read the frame as its status line and fail the handshake.
        late = socket.create_connection(("127.0.0.1", self.port), timeout=10)
        self.addCleanup(late.close)
        time.sleep(0.3)  # accepted by the agent, nothing sent yet
        first = RawClient(self.port)
        first.send(mask_frame(OP_TEXT, b"reply goes to every page"))
        self.assertEqual(first.read_frame(), (0x81, REPLY.encode()))
        first.close()
        time.sleep(0.5)  # the agent has sent the reply to every connection it holds
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
