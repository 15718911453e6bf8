#!/usr/bin/python3
"""Print requests wait in a queue and run one at a time, while downloads and uploads go on beside the
agent's event loop: a page's questions are answered while a template trickles in, thousands of
requests at once are all carried out, and what the settings file keeps stays small.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_queue.py -v [Class]
"""
import asyncio
import json
import os
import resource
import unittest

from harness import FAILED, NOT_FOUND, AgentCase, make_request, order_rows, read_bytes, unique
from test_extension import FINAL, PageCase

from agentproc import read_ini  # noqa: E402 (found through harness)
from burst import burst  # noqa: E402
from templateserver import TemplateServer  # noqa: E402


class Queue(PageCase):

    def setUp(self):
        super().setUp()
        self.templates = TemplateServer(read_bytes(os.path.join(self.backend.templates, "orders.grf")))
        self.addCleanup(self.templates.close)

    def start_slow_job(self, job_id):
        name = unique("slow") + ".grf"
        self.send(dict(make_request(self.backend, name, reporturl=self.templates.url("/slow/" + name)),
                       verolux={"jobId": job_id}))
        self.assertTrue(self.templates.trickling.wait(30), "the download did not start")
        return name

    def events(self, job_id, client=0):
        return [m for m in self.json_messages(client) if m.get("jobId") == job_id]

    def test_questions_answered_while_a_template_trickles_and_requests_wait_their_turn(self):
        slow_name = self.start_slow_job("slow")
        # Another page's question is answered while the download goes on.
        self.assertEqual("Verolux", self.ask("hello", client=1)["agent"])
        # The same page's next request waits: the question sent after it is answered first.
        self.send(dict(make_request(self.backend, "orders.grf"), verolux={"jobId": "next"}))
        self.ask("hello")
        self.assertEqual([], self.events("next"))
        self.assertEqual(["accepted"], [e["state"] for e in self.events("slow")])

        self.templates.released.set()
        self.wait_json(lambda m: m.get("jobId") == "next" and m.get("state") in FINAL, timeout=60)
        states = [(m["jobId"], m["state"]) for m in self.json_messages(0) if "jobId" in m]
        self.assertEqual([("slow", "accepted"), ("slow", "failed"), ("next", "accepted"), ("next", "uploaded")],
                         states)
        self.assertEqual("template-not-found", self.events("slow")[-1]["code"])
        # A download that failed records no source.
        self.assertNotIn(slow_name.lower(), {k.lower() for k in read_ini(self.folder).get("fileUrl", {})})

    def test_requests_past_the_waiting_limit_are_refused(self):
        # Behind a request that waits for its template, 256 MiB of requests may wait; the one past that
        # is refused at once, and those before it are carried out in turn.
        self.start_slow_job("slow")
        padding = "p" * (60 << 20)
        for i in range(5):
            self.send(dict(make_request(self.backend, "orders.grf", rows=[]), padding=padding,
                           verolux={"jobId": "big-%d" % i}), client=1)
        refused = self.wait_json(lambda m: m.get("jobId") == "big-4" and m.get("state") in FINAL, client=1)
        self.assertEqual(("failed", "agent-busy"), (refused["state"], refused.get("code")), refused)
        self.assertEqual([], [m for m in self.json_messages(1) if m.get("jobId") in ("big-0", "big-3")])
        self.expect_reply(FAILED)
        self.templates.released.set()
        done = self.wait_json(lambda m: m.get("jobId") == "big-3" and m.get("state") in FINAL, client=1, timeout=120)
        self.assertEqual("uploaded", done["state"])

    def test_settings_stay_small(self):
        # A 60 KB address is downloaded and used, but not recorded; an 8 MiB name is refused.
        long_url = self.templates.url("/t?" + "a" * 60000)
        name = unique("long-url") + ".grf"
        done = self.job(make_request(self.backend, name, reporturl=long_url))
        self.assertEqual("uploaded", done[-1]["state"])
        missing = unique("missing") + ".grf"
        self.send(make_request(self.backend, missing))
        self.expect_reply(NOT_FOUND + missing)
        self.clients.clear()
        self.send(make_request(self.backend, "n" * (8 << 20) + ".grf"))
        self.expect_reply(FAILED)
        recorded = {k.lower() for k in read_ini(self.folder).get("fileUrl", {})}
        self.assertFalse({name.lower(), missing.lower()} & recorded)
        self.assertLess(os.path.getsize(os.path.join(self.folder, "MyIni.ini")), 16 << 10)


class Burst(AgentCase):
    """3,000 pages connect at once and each sends a PDF job: every one is carried out, or refused at
    once by the agent's connection limit, and the agent lives on."""

    PAGES = 3000

    @classmethod
    def setUpClass(cls):
        # The agent inherits the descriptors it may open; the test needs as many for its pages.
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        if hard != resource.RLIM_INFINITY and hard < 8192:
            raise unittest.SkipTest("cannot open %d connections (descriptor limit %d)" % (cls.PAGES, hard))
        resource.setrlimit(resource.RLIMIT_NOFILE, (8192, hard))
        super().setUpClass()

    def test_thousands_of_pdf_requests_at_once(self):
        # The template is in place first, so that every request does the same work.
        self.send_pdf(make_request(self.backend, "orders.grf"))
        request = make_request(self.backend, "orders.grf", rows=order_rows(3))
        outcomes, refusals = asyncio.run(burst("ws://127.0.0.1:%d/" % self.agent.port, request, self.PAGES))
        counts = {o: outcomes.count(o) for o in set(outcomes)}
        print("\n%d pages: %r" % (self.PAGES, counts))
        self.assertEqual(self.PAGES, counts.get("uploaded", 0) + counts.get("refused", 0), counts)
        self.assertLess(max(refusals, default=0), 10, "a refusal must come at once")
        self.assertGreater(counts.get("uploaded", 0), 0)
        self.assertTrue(self.agent.alive())
        self.assertEqual("Verolux", json.loads(self.ask_hello())["agent"])

    def ask_hello(self):
        self.send({"verolux": "hello"})
        return self.wait_until(lambda: next((m for m in self.clients.messages(0) if '"hello"' in m), None), "hello")


if __name__ == "__main__":
    unittest.main()
