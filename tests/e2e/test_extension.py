#!/usr/bin/python3
"""The `verolux` key end to end: questions and job events reach the asking page alone, while a page
that does not use the key gets exactly the specified replies. Two real pages, the real agent, the demo
backend, and (class CupsJobs) the cups-pdf queue.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_extension.py -v [Class]
"""
import json
import subprocess
import unittest

from harness import FAILED, NOT_FOUND, AgentCase, make_request, order_rows, setup_cups, unique

FINAL = {"completed", "failed", "uploaded", "shown", "opened"}


class PageCase(AgentCase):
    """Page 0 uses the key; page 1 sends plain requests and must never hear of page 0's jobs."""

    def ask(self, question, client=0):
        self.send({"verolux": question}, client)
        return self.wait_json(lambda m: m.get("verolux") in (question, "error"), client)

    def job(self, request, client=0, **options):
        """Sends the request as a job of page `client` and returns its events up to the final one."""
        job_id = unique("job")
        self.send(dict(request, verolux=dict(options, jobId=job_id)), client)
        final = self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") in FINAL, client, timeout=90)
        events = [m for m in self.json_messages(client) if m.get("jobId") == job_id]
        self.assertEqual(final, events[-1])
        return events

    def json_messages(self, client):
        found = []
        for text in self.clients.messages(client):
            try:
                found.append(json.loads(text))
            except ValueError:
                pass  # the specified replies are plain texts
        return found

    def wait_json(self, match, client=0, timeout=30):
        found = self.wait_until(lambda: [m for m in self.json_messages(client) if match(m)], "such message", timeout)
        return found[0]


class Extension(PageCase):

    def test_questions_are_answered_to_the_asker_only(self):
        hello = self.ask("hello")
        self.assertEqual(("Verolux", 1, self.agent.port, "linux"),
                         (hello["agent"], hello["protocol"], hello["port"], hello["platform"]))
        self.assertIn("jobs", hello["features"])
        self.assertRegex(hello["version"], r"^\d+\.\d+\.\d+$")
        error = self.ask("status", client=1)
        self.assertEqual("unknown-question", error["code"])
        self.assertEqual([[json.dumps(hello, separators=(",", ":"), ensure_ascii=False)],
                          [json.dumps(error, separators=(",", ":"), ensure_ascii=False)]], self.settle())

    def test_two_pages_one_with_jobs(self):
        # Page 0's jobs end every way a PDF job can; page 1 hears only what the protocol always sent.
        uploaded = self.job(make_request(self.backend, "orders.grf", rows=order_rows(10)))
        self.assertEqual(["accepted", "uploaded"], [e["state"] for e in uploaded])
        self.assertEqual(200, uploaded[-1]["httpStatus"])
        self.assertIsNotNone(self.backend.uploads_for(uploaded[-1]["reportId"]))

        missing = unique("missing") + ".grf"
        not_found = self.job(make_request(self.backend, missing))
        self.assertEqual(["accepted", "failed"], [e["state"] for e in not_found])
        self.assertEqual(("template-not-found", NOT_FOUND + missing), (not_found[-1]["code"], not_found[-1]["message"]))
        self.expect_reply(NOT_FOUND + missing)  # before the next request: a broadcast lets events run

        broken = {k: v for k, v in make_request(self.backend, "orders.grf").items() if k != "reptype"}
        bad = self.job(broken)
        self.assertEqual([("failed", "bad-request", 'the key "reptype" is missing')],
                         [(e["state"], e["code"], e["message"]) for e in bad])
        self.expect_reply(FAILED)
        # Options the agent cannot carry out are refused before anything runs, and quietly.
        refused = make_request(self.backend, "orders.grf")
        self.assertEqual(("failed", "bad-request"), tuple(self.job(refused, copies=0)[-1][k] for k in ("state", "code")))
        self.assertEqual([], self.backend.uploads_for(refused["reportId"]))

        # Page 1's own plain request, and the broadcasts page 0's failures still make.
        own = unique("own") + ".grf"
        self.send(make_request(self.backend, own), client=1)
        got = self.settle()
        self.assertEqual([NOT_FOUND + missing, FAILED, NOT_FOUND + own], got[1])
        self.assertEqual([NOT_FOUND + missing, FAILED, NOT_FOUND + own],
                         [m for m in got[0] if not m.startswith("{")])


class CupsJobs(PageCase):
    """Print jobs followed through the cups-pdf queue VXPDF (shared: its tests hold the cups lock)."""

    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        setup_cups(cls.queue)
        super().setUpClass()

    def test_job_completes_with_its_options(self):
        # How the scheduler lists queues is the CUPS layer's test; which events each answer gives, the
        # job tracker's table.
        self.assertIn(self.queue, [p["name"] for p in self.ask("printers")["printers"]])
        request = make_request(self.backend, "orders.grf", preview="", printer=self.queue, rows=order_rows(3))
        events = self.job(request, copies=2, duplex="long", pages="1")
        self.assertEqual(["accepted", "spooled", "completed"], [e["state"] for e in events])
        job = events[1]["cupsJobId"]
        self.assertEqual(job, events[2]["cupsJobId"])
        done = subprocess.run(["lpstat", "-W", "completed", "-o", self.queue], capture_output=True, text=True).stdout
        self.assertIn("%s-%d " % (self.queue, job), done)
        attributes = subprocess.run(["ipptool", "-tv", "ipp://localhost/jobs/%d" % job, "get-job-attributes.test"],
                                    capture_output=True, text=True).stdout
        for line in ("copies (integer) = 2", "sides (keyword) = two-sided-long-edge", "page-ranges (rangeOfInteger) = 1-1"):
            self.assertIn(line, attributes)

    def test_stopped_queue_waits_and_fails_when_cancelled(self):
        # The stopped queue's reason reaches the page through the agent's own reading of the job.
        subprocess.run(["cupsdisable", self.queue], check=True)
        self.addCleanup(subprocess.run, ["cupsenable", self.queue], check=True)
        job_id = unique("stopped")
        self.send(dict(make_request(self.backend, "orders.grf", preview="", printer=self.queue),
                       verolux={"jobId": job_id}))
        waiting = self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") == "waiting")
        self.assertTrue(waiting["reason"])
        subprocess.run(["cancel", str(waiting["cupsJobId"])], check=True)
        failed = self.wait_json(lambda m: m.get("jobId") == job_id and m.get("state") == "failed")
        self.assertEqual("print-canceled", failed["code"])
        states = [m["state"] for m in self.json_messages(0) if m.get("jobId") == job_id]
        self.assertEqual(["accepted", "spooled", "waiting", "failed"], states)

if __name__ == "__main__":
    unittest.main()
