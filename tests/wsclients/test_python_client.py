"""python3-websockets against the real agent: one session with a message, fragments, pings and a
close, and a burst of 500 messages."""
import asyncio
import time
import unittest

import websockets

from wsagent import DELIVERED_CONTIN, DELIVERED_TEXT, FRAGMENT_CONTIN, FRAGMENT_TEXT, REPLY, AgentCase


def connect(url):
    # No keepalive pings (the agent's empty pong does not answer a ping with data), an unbounded
    # queue so a burst of replies never holds the client's reading back.
    return websockets.connect(url, ping_interval=None, max_queue=None, close_timeout=5, max_size=None,
                              compression=None)


async def replies(ws, count, timeout=60.0):
    return [await asyncio.wait_for(ws.recv(), timeout) for _ in range(count)]


class PythonClient(AgentCase):
    def test_session(self):
        async def run():
            async with connect(self.url) as ws:
                await ws.send("python says 你好")
                await ws.send(["list-frag-1 ", "list-frag-2 ", "list-frag-3"])  # text, continuations
                self.assertEqual(await replies(ws, 2), [REPLY, REPLY])
                # The agent's pong is always empty: it answers exactly an empty ping, and a ping with
                # data gets a pong the library cannot match; the connection goes on.
                await asyncio.wait_for(await ws.ping(b""), 5)
                unmatched = await ws.ping(b"data")
                await ws.send("after pings")
                self.assertEqual(await replies(ws, 1), [REPLY])
                self.assertFalse(unmatched.done())
                unmatched.cancel()
                start = time.monotonic()
                await ws.close()
                # No close frame comes back: the agent closes the socket (1006), and at once.
                self.assertLess(time.monotonic() - start, 2.0)
                self.assertEqual(ws.close_code, 1006)
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, ["python says 你好", "list-frag-1 list-frag-2 list-frag-3", "after pings"])
        self.assertEqual([lines.count(t) for t in (DELIVERED_TEXT, FRAGMENT_TEXT, FRAGMENT_CONTIN, DELIVERED_CONTIN)],
                         [2, 1, 2, 1])
        self.assert_agent_alive()

    def test_burst_of_500_messages(self):
        count = 500
        messages = ["burst %04d %s" % (i, "x" * (i % 37)) for i in range(count)]

        async def run():
            async with connect(self.url) as ws:
                for m in messages:  # no waiting for any answer in between
                    await ws.send(m)
                self.assertEqual(await replies(ws, count, timeout=120), [REPLY] * count)
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, messages)
        self.assertEqual(lines.count(DELIVERED_TEXT), count)


if __name__ == "__main__":
    unittest.main(verbosity=2)
