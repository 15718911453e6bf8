#!/usr/bin/python3
"""Hostile requests and slow peers against the real agent: it answers as usual, within its bounds, and
goes on serving the other pages.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_hostile.py -v
"""
import os
import time
import unittest

from harness import FAILED, NOT_FOUND, AgentCase, make_request, read_bytes, unique
from templateserver import TemplateServer


class HostilePeers(AgentCase):
    def test_deeply_nested_request_gets_the_error_reply(self):
        # 80,000 nested arrays, 160 KB: refused like any unreadable request, cut short in the log.
        text = '{"repdata":' + "[" * 80000 + "]" * 80000 + "}"
        self.send(text)
        self.expect_reply(FAILED)
        self.assertIn("... (%d bytes)" % len(text.encode()), self.agent.log_file())
        self.send_pdf(make_request(self.backend, "orders.grf"))

    def test_trickling_template_server_fails_within_the_bound(self):
        # Under 1 KiB/s for 30 s ends the download; the page that asked next is served after it.
        trickle = TemplateServer(b"", rate=2)
        self.addCleanup(trickle.close)
        name = unique("trickle") + ".grf"
        start = time.time()
        self.send(make_request(self.backend, name, reporturl=trickle.url("/slow/" + name)))
        served = make_request(self.backend, "orders.grf")
        self.send(served, client=1)
        self.expect_reply(NOT_FOUND + name, timeout=60)
        self.assertLess(time.time() - start, 45)
        self.assertIsNotNone(self.backend.wait_upload(served["reportId"], 30))
        self.assertEqual([], self.leftovers(name), "no temporary file stays")

    def test_template_past_its_size_limit_is_refused(self):
        name = unique("huge") + ".grf"
        with open(os.path.join(self.backend.templates, name), "wb") as f:
            f.truncate((64 << 20) + 1)
        self.send(make_request(self.backend, name))
        self.expect_reply(NOT_FOUND + name)
        self.assertEqual([], self.leftovers(name))

    def test_log_is_rotated_past_its_limit(self):
        log = os.path.join(self.folder, "MyLog.txt")
        with open(log, "ab") as f:
            f.write(b"old line\r\n" * (1 << 20))  # 10 MiB
        self.send("{not json")
        self.expect_reply(FAILED)
        self.assertTrue(read_bytes(os.path.join(self.folder, "MyLog.1.txt")).endswith(b"old line\r\n"))
        self.assertLess(os.path.getsize(log), 1 << 20)
        self.assertIn("{not json", self.agent.log_file())


if __name__ == "__main__":
    unittest.main()
