#!/usr/bin/python3
"""The `verolux` key end to end: questions and job events reach the asking page alone, while a page
that does not use the key gets exactly the specified replies. Two real pages, the real agent, the demo
backend, and (class CupsJobs) the cups-pdf queue.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_extension.py -v [Class]
"""
import json
import os
import subprocess
import time
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
        end = time.time() + timeout
        while time.time() < end:
            for m in self.json_messages(client):
                if match(m):
                    return m
            time.sleep(0.01)
        self.fail("no such message; page %d got %r" % (client, self.clients.messages(client)))


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

        # Page 1's own plain request, and the broadcasts page 0's failures still make.
        own = unique("own") + ".grf"
        self.send(make_request(self.backend, own), client=1)
        got = self.settle()
        self.assertEqual([NOT_FOUND + missing, FAILED, NOT_FOUND + own], got[1])
        self.assertEqual([NOT_FOUND + missing, FAILED, NOT_FOUND + own],
                         [m for m in got[0] if not m.startswith("{")])

    def test_upload_answers(self):
        # 500: the job fails as upload-rejected, and nothing else changes (no broadcast, the PDF stays).
        self.backend.fail("500", "/upload", count=1)
        rejected = self.job(make_request(self.backend, "orders.grf"))
        self.assertEqual(("failed", "upload-rejected", 500),
                         (rejected[-1]["state"], rejected[-1]["code"], rejected[-1]["httpStatus"]))
        self.assertTrue(os.path.exists(os.path.join(self.agent.report_dir, rejected[-1]["reportId"] + ".pdf")))
        # A plain request with the same answer goes unnoticed.
        self.backend.fail("500", "/upload", count=1)
        self.send(make_request(self.backend, "orders.grf"), client=1)
        # No answer at all: upload-failed, and the specified reply to every page.
        unreachable = self.job(make_request(self.backend, "orders.grf", report_add="http://127.0.0.1:9/"))
        self.assertEqual(("failed", "upload-failed"), (unreachable[-1]["state"], unreachable[-1]["code"]))
        self.assertIn("127.0.0.1:9", unreachable[-1]["message"])
        # The specified reply still reaches every page (a broadcast lets events run between pages:
        # wait for it before the marker of settle() can overtake it).
        self.expect_reply(FAILED)
        self.assertEqual([FAILED], self.settle()[1])

    def test_bad_options_are_refused_before_anything_runs(self):
        request = make_request(self.backend, "orders.grf")
        events = self.job(request, copies=0)
        self.assertEqual(("failed", "bad-request"), (events[-1]["state"], events[-1]["code"]))
        self.assertEqual([[], []], [[m for m in got if not m.startswith("{")] for got in self.settle()])
        self.assertEqual([], self.backend.uploads_for(request["reportId"]))
class CupsJobs(PageCase):
    """Print jobs followed through the cups-pdf queue VXPDF (shared: its tests hold the cups lock)."""

    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        setup_cups(cls.queue)
        super().setUpClass()

    def print_job(self, printer=None, **options):
        request = make_request(self.backend, "orders.grf", preview="", printer=printer or self.queue,
                               rows=order_rows(3))
        return self.job(request, **options)

    def test_printers(self):
        printers = {p["name"]: p for p in self.ask("printers")["printers"]}
        vxpdf = printers[self.queue]
        self.assertEqual(("idle", True), (vxpdf["state"], vxpdf["acceptingJobs"]))
        self.assertIn("iso_a4_210x297mm", vxpdf["media"])

    def test_job_completes_with_its_options(self):
        events = self.print_job(copies=2, duplex="long", pages="1")
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

    def test_printer_not_found(self):
        events = self.print_job(printer="NoSuchQueue-" + unique("p"))
        self.assertEqual(("failed", "printer-not-found"), (events[-1]["state"], events[-1]["code"]))
        self.assertIn("does not exist", events[-1]["message"])
        # The specified reply still reaches every page (a broadcast lets events run between pages:
        # wait for it before the marker of settle() can overtake it).
        self.expect_reply(FAILED)
        self.assertEqual([FAILED], self.settle()[1])


if __name__ == "__main__":
    unittest.main()
