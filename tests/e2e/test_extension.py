#!/usr/bin/python3
"""The `verolux` key end to end: questions and job events reach the asking page alone, while a page
that does not use the key gets exactly the protocol's plain replies. Two real pages, the real agent, the demo
backend, and (class CupsJobs, which needs root) the cups-pdf queue, whose output is compared with the
same report exported.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_extension.py -v [Class]
"""
import glob
import json
import os
import re
import subprocess
import unittest

from harness import FAILED, NOT_FOUND, AgentCase, make_request, order_rows, setup_cups, unique

FINAL = {"completed", "failed", "uploaded", "shown", "opened"}


def first_page_gray(pdf, stem):
    subprocess.run(["pdftoppm", "-r", "40", "-gray", "-f", "1", "-l", "1", "-singlefile", pdf, stem], check=True,
                   stderr=subprocess.DEVNULL)
    return stem + ".pgm"


def rmse(a, b):
    """Normalised RMSE of two images of one size (0 equal, 1 opposite)."""
    out = subprocess.run(["compare", "-metric", "RMSE", a, b, "null:"], capture_output=True, text=True).stderr
    return float(re.search(r"\(([0-9.e-]+)\)", out).group(1))


def mean_gray(image):
    return float(subprocess.run(["identify", "-format", "%[fx:mean]", image], capture_output=True, text=True,
                                check=True).stdout)


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
        # The protocol's own replies are plain texts.
        return [json.loads(text) for text in self.clients.messages(client) if text.startswith("{")]

    def wait_json(self, match, client=0, timeout=30):
        found = self.wait_until(lambda: [m for m in self.json_messages(client) if match(m)], "such message", timeout)
        return found[0]


class Extension(PageCase):

    def test_two_pages_one_with_jobs(self):
        # Questions are answered to the asker alone. Page 0's jobs end every way a PDF job can; page 1 hears
        # only what the protocol always sent.
        hello = self.ask("hello")
        self.assertEqual(("Verolux", 1, self.agent.port, "linux"),
                         (hello["agent"], hello["protocol"], hello["port"], hello["platform"]))
        self.assertIn("jobs", hello["features"])
        self.assertRegex(hello["version"], r"^\d+\.\d+\.\d+$")
        error = self.ask("status", client=1)
        self.assertEqual("unknown-question", error["code"])
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
        plain = [NOT_FOUND + missing, FAILED, NOT_FOUND + own]
        hello, error = (json.dumps(m, separators=(",", ":"), ensure_ascii=False) for m in (hello, error))
        self.assertEqual([error] + plain, got[1])
        self.assertEqual(plain, [m for m in got[0] if not m.startswith("{")])
        self.assertEqual((True, False), (hello in got[0], error in got[0]))


class CupsJobs(PageCase):
    """Print jobs followed through the cups-pdf queue VXPDF (shared: its tests hold the cups lock)."""

    queue = "VXPDF"

    @classmethod
    def setUpClass(cls):
        cls.out_dir = setup_cups(cls.queue)
        super().setUpClass()

    def test_job_completes_with_its_options_and_prints_the_report(self):
        # Any value but "1" and "2" prints (the mode rule is a unit table): a JSON true reaches CUPS. How the
        # scheduler lists queues is the CUPS layer's test; which events each answer gives, the job tracker's
        # table; that every page of a long report prints, the engine's CUPS print tests.
        self.assertIn(self.queue, [p["name"] for p in self.ask("printers")["printers"]])
        name = self.backend.add_template(unique("vxe2e") + ".grf")
        # cups-pdf names the file after the job title (the template name), with some characters replaced.
        printed_files = lambda: glob.glob(os.path.join(self.out_dir, "*%s*.pdf" % name[:-4].replace("-", "?")))
        self.addCleanup(lambda: [os.remove(p) for p in printed_files()])
        rows = order_rows(120)
        request = make_request(self.backend, name, preview=True, printer=self.queue, rows=rows)
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
        self.assertEqual([], self.backend.uploads_for(request["reportId"]))
        self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, request["reportId"] + ".pdf")))

        # The printed page is the report's: against the same report exported, and with other rows.
        printed = self.wait_until(printed_files, "the job's output in " + self.out_dir)[0]
        exported = self.send_pdf(make_request(self.backend, name, rows=rows))
        other = self.send_pdf(make_request(self.backend, name, rows=[]))
        size = lambda pdf: re.search(r"Page size: +([\d.]+) x ([\d.]+)", subprocess.run(
            ["pdfinfo", pdf], check=True, capture_output=True, text=True).stdout).groups()
        for p, e in zip(size(printed), size(exported)):
            self.assertAlmostEqual(float(e), float(p), delta=1.5)
        pages = [first_page_gray(pdf, os.path.join(self.work, name + "-" + kind))
                 for pdf, kind in ((printed, "printed"), (exported, "exported"), (other, "other"))]
        self.assertLess(mean_gray(pages[1]), 0.995, "the exported page is blank")
        # Ghostscript in cups-pdf redraws the glyphs a little heavier (up to about 0.13 on a dense page).
        own = rmse(pages[0], pages[1])
        self.assertLess(own, 0.2)
        self.assertLess(own, rmse(pages[0], pages[2]))

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
