"""node `ws` (Debian's node-ws) against the real agent: fragments, burst, 10 MB message, close, ping."""
import json
import os
import subprocess
import unittest

from wsagent import DELIVERED_CONTIN, DELIVERED_TEXT, FRAGMENT_CONTIN, FRAGMENT_TEXT, REPLY, AgentCase

HERE = os.path.dirname(os.path.abspath(__file__))
NODE = os.environ.get("NODE", "/usr/bin/node")

BURST = 500
BIG_UNIT = "大报文abcdefghijklmnop0123456789-"
BIG_REPEAT = 10 * 1024 * 1024 // len(BIG_UNIT.encode()) + 1


def burst_message(i):
    return "node burst %04d %s" % (i, "y" * (i % 41))


class NodeClient(AgentCase):
    def run_node(self, mode, *args, timeout=180):
        env = dict(os.environ, NODE_PATH="/usr/share/nodejs")
        p = subprocess.run([NODE, os.path.join(HERE, "node_client.js"), mode, self.url, *map(str, args)],
                           env=env, capture_output=True, timeout=timeout)
        self.assertEqual(p.returncode, 0, p.stdout.decode("utf-8", "replace") + p.stderr.decode("utf-8", "replace"))
        return json.loads(p.stdout.decode("utf-8").strip().splitlines()[-1])

    def test_fragmented_sends(self):
        out = self.run_node("fragments")
        self.assertEqual(out["received"], [REPLY, REPLY])
        lines = self.log_lines()
        self.assert_delivered_once(lines, ["node-frag-1 node-frag-2 node-frag-3", "分片中文：你好，世界"])
        self.assertEqual(lines.count(FRAGMENT_TEXT), 2)
        self.assertEqual(lines.count(FRAGMENT_CONTIN), 1 + 3)
        self.assertEqual(lines.count(DELIVERED_CONTIN), 2)
        self.assertFalse(any("\ufffd" in l for l in lines))

    def test_burst(self):
        out = self.run_node("burst")
        self.assertEqual(out["received"], [REPLY] * BURST, "one reply per message")
        lines = self.log_lines()
        self.assert_delivered_once(lines, [burst_message(i) for i in range(BURST)])
        self.assertEqual(lines.count(DELIVERED_TEXT), BURST)

    def test_ten_megabyte_message(self):
        big = "node-big:" + BIG_UNIT * BIG_REPEAT
        self.assertGreater(len(big.encode()), 10 * 1024 * 1024)
        out = self.run_node("big", BIG_REPEAT)
        self.assertEqual(out["received"], [REPLY, REPLY])
        lines = self.log_lines()
        self.assert_delivered_once(lines, [big, "node after big"])

    def test_close(self):
        out = self.run_node("close")
        self.assertEqual(out["received"], [REPLY])
        # No close frame comes back: the socket just ends, which ws reports as 1006, at once.
        self.assertEqual(out["closeCode"], 1006)
        self.assertLess(out["closeMs"], 2000)
        self.assert_delivered_once(self.log_lines(), ["node before close"])
        out = self.run_node("fragments")  # the agent goes on serving
        self.assertEqual(out["received"], [REPLY, REPLY])
        self.assert_agent_alive()

    def test_ping(self):
        out = self.run_node("ping")
        # Both pings, with data and empty, are answered by an empty pong.
        self.assertEqual(out["pongs"], ["", ""])
        self.assertEqual(out["received"], [REPLY])
        self.assert_delivered_once(self.log_lines(), ["node after ping"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
