"""node `ws` (Debian's node-ws) against the real agent: fragments, pings, close."""
import json
import os
import subprocess
import unittest

from wsagent import DELIVERED_CONTIN, FRAGMENT_CONTIN, FRAGMENT_TEXT, REPLY, AgentCase

HERE = os.path.dirname(os.path.abspath(__file__))
NODE = os.environ.get("NODE", "/usr/bin/node")


class NodeClient(AgentCase):
    def test_fragments_pings_and_close(self):
        env = dict(os.environ, NODE_PATH="/usr/share/nodejs")
        p = subprocess.run([NODE, os.path.join(HERE, "node_client.js"), self.url], env=env, capture_output=True,
                           timeout=180)
        self.assertEqual(p.returncode, 0, p.stdout.decode("utf-8", "replace") + p.stderr.decode("utf-8", "replace"))
        out = json.loads(p.stdout.decode("utf-8").strip().splitlines()[-1])
        self.assertEqual(out["received"], [REPLY] * 3)
        # Both pings, with data and empty, are answered by an empty pong.
        self.assertEqual(out["pongs"], ["", ""])
        # No close frame comes back: the socket just ends, which ws reports as 1006, at once.
        self.assertEqual(out["closeCode"], 1006)
        self.assertLess(out["closeMs"], 2000)
        lines = self.log_lines()
        self.assert_delivered_once(lines, ["node-frag-1 node-frag-2 node-frag-3", "分片中文：你好，世界", "node after ping"])
        self.assertEqual([lines.count(t) for t in (FRAGMENT_TEXT, FRAGMENT_CONTIN, DELIVERED_CONTIN)], [2, 1 + 3, 2])
        self.assertFalse(any("\ufffd" in line for line in lines))
        self.assert_agent_alive()


if __name__ == "__main__":
    unittest.main(verbosity=2)
