"""python3-websockets against the real agent: a message, fragments, a ping, a burst of 500 messages
sent without waiting, and a close."""
import asyncio
import os
import sys
import time
import unittest

import websockets

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wsagent import DELIVERED_TEXT, REPLY, AgentCase  # noqa: E402


class PythonClient(AgentCase):
    def test_session(self):
        burst = ["burst %04d %s" % (i, "x" * (i % 37)) for i in range(500)]

        async def replies(ws, count):
            return [await asyncio.wait_for(ws.recv(), 120) for _ in range(count)]

        async def run():
            # No keepalive pings (the agent's pong is always empty), an unbounded queue so a burst of
            # replies never holds the client's reading back.
            async with websockets.connect(self.url, ping_interval=None, max_queue=None, close_timeout=5,
                                          max_size=None, compression=None) as ws:
                await ws.send("python says 你好")
                await ws.send(["list-frag-1 ", "list-frag-2 ", "list-frag-3"])  # text, continuations
                self.assertEqual(await replies(ws, 2), [REPLY, REPLY])
                await asyncio.wait_for(await ws.ping(b""), 5)
                for m in burst:  # no waiting for any answer in between
                    await ws.send(m)
                self.assertEqual(await replies(ws, len(burst)), [REPLY] * len(burst))
                start = time.monotonic()
                await ws.close()
                # No close frame comes back: the agent closes the socket (1006), and at once.
                self.assertLess(time.monotonic() - start, 2.0)
                self.assertEqual(ws.close_code, 1006)
        asyncio.run(run())
        lines = self.log_lines()
        self.assert_delivered_once(lines, ["python says 你好", "list-frag-1 list-frag-2 list-frag-3"] + burst)
        self.assertEqual(lines.count(DELIVERED_TEXT), 1 + len(burst))
        self.assert_agent_alive()


if __name__ == "__main__":
    unittest.main(verbosity=2)
