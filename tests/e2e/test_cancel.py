#!/usr/bin/python3
"""A page takes back its own jobs (`{"verolux": {"cancel": jobId}}`): one waiting in the agent's queue,
one whose template trickles in, one held in a stopped CUPS queue (class CancelInCups, root); and a
job's own HTTP headers reach its download and upload and nothing else, and no file of the agent.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_cancel.py -v [Class]
"""
import base64
import os
import subprocess
import unittest

from harness import make_request, read_bytes, setup_cups, unique
from templateserver import TemplateServer
from test_extension import FINAL, PageCase

FINAL = FINAL | {"cancelled"}
SECRET = "S3CRET-" + unique("token")


class CancelCase(PageCase):

    def setUp(self):
        super().setUp()
        self.server = TemplateServer(read_bytes(os.path.join(self.backend.templates, "orders.grf")))
        self.addCleanup(self.server.close)

    def cancel(self, job_id, client=0):
        self.send({"verolux": {"cancel": job_id}}, client)

    def states(self, job_id, client=0):
        return [m["state"] for m in self.json_messages(client) if m.get("jobId") == job_id and "state" in m]

    def refusal(self, job_id, client=0):
        return self.wait_json(lambda m: m.get("verolux") == "error" and m.get("jobId") == job_id, client)


class Cancel(CancelCase):

    def test_waiting_and_downloading_jobs_are_taken_back(self):
        slow = unique("slow") + ".grf"
        self.send(dict(make_request(self.backend, slow, reporturl=self.server.base + "/slow/" + slow),
                       verolux={"jobId": "slow"}))
        self.assertTrue(self.server.trickling.wait(30), "the download did not start")
        behind = make_request(self.backend, "orders.grf")
        self.send(dict(behind, verolux={"jobId": "behind"}))
        # Only the page that sent a job may take it back.
        self.cancel("behind", client=1)
        self.assertEqual("not-cancellable", self.refusal("behind", client=1)["code"])

        self.cancel("behind")  # waits in the queue: out, never run
        self.wait_json(lambda m: m.get("jobId") == "behind" and m.get("state") == "cancelled")
        self.cancel("slow")  # downloading: the transfer ends
        self.wait_json(lambda m: m.get("jobId") == "slow" and m.get("state") == "cancelled")
        self.assertTrue(self.server.client_left.wait(10), "the download was not aborted")
        self.assertEqual((["cancelled"], ["accepted", "cancelled"]), (self.states("behind"), self.states("slow")))

        # Ended jobs stay as they ended; the queue goes on, and nothing was broadcast for the two.
        self.cancel("slow")
        self.assertIn("no unfinished job", self.refusal("slow")["message"])
        after = self.job(make_request(self.backend, "orders.grf"))
        self.assertEqual("uploaded", after[-1]["state"])
        self.cancel(after[-1]["jobId"])
        self.assertEqual("not-cancellable", self.refusal(after[-1]["jobId"])["code"])
        self.assertEqual([[], []], [[m for m in got if not m.startswith("{")] for got in self.settle()])
        self.assertEqual([], self.backend.uploads_for(behind["reportId"]))
        self.assertEqual(["cancelled", "cancelled"], self.states("slow")[-1:] + self.states("behind")[-1:])
        self.assertFalse(os.path.exists(os.path.join(self.agent.report_dir, slow)))


class JobHeaders(CancelCase):

    def test_headers_reach_the_jobs_own_transfers_and_no_file(self):
        headers = {"Authorization": "Bearer " + SECRET, "Cookie": "sid=" + SECRET, "X-Empty": ""}
        name = unique("headers") + ".grf"
        request = make_request(self.backend, name, reporturl=self.server.base + "/t/" + name,
                               report_add=self.server.base + "/upload")
        events = self.job(request, headers=headers)
        self.assertEqual(["accepted", "uploaded"], [e["state"] for e in events])
        self.assertEqual([("GET", "/t/" + name), ("POST", "/upload")], [r[:2] for r in self.server.requests])
        for method, path, got in self.server.requests:
            self.assertEqual(("Bearer " + SECRET, "sid=" + SECRET, ""),
                             (got["Authorization"], got["Cookie"], got["X-Empty"]), method)
        self.assertTrue(got["Content-Type"].startswith("application/json"))  # the agent's own header stays

        # A job without headers sends none.
        del self.server.requests[:]
        plain = unique("plain") + ".grf"
        self.job(make_request(self.backend, plain, reporturl=self.server.base + "/t/" + plain,
                              report_add=self.server.base + "/upload"))
        self.assertEqual(2, len(self.server.requests))
        for _, _, got in self.server.requests:
            self.assertEqual((None, None), (got["Authorization"], got["Cookie"]))

        # A job that fails writes its request to MyLog.txt: without the headers. No file keeps them.
        failing = make_request(self.backend, name, reporturl=self.server.base + "/t/" + name,
                               report_add="http://127.0.0.1:1/refused")
        events = self.job(failing, headers=headers)
        self.assertEqual("upload-failed", events[-1]["code"])
        self.settle()
        log = read_bytes(os.path.join(self.folder, "MyLog.txt")).decode("utf-8", "replace")
        self.assertIn(failing["reportId"], log)
        for base, _, files in os.walk(self.folder):
            for f in filter(os.path.isfile, (os.path.join(base, f) for f in files)):  # sockets aside
                self.assertNotIn(SECRET.encode(), read_bytes(f), f)

        # Headers that would break the message are refused before anything runs, value unquoted.
        bad = self.job(make_request(self.backend, name), headers={"X-Key": SECRET + "\r\nHost: x"})
        self.assertEqual(("failed", "bad-request"), (bad[-1]["state"], bad[-1]["code"]))
        self.assertNotIn(SECRET, bad[-1]["message"])


class DocumentJobs(CancelCase):
    """Raw and document jobs are taken back as report jobs are; a document's headers go with its
    download and its upload."""

    def test_waiting_raw_and_downloading_document_are_taken_back(self):
        self.send({"verolux": {"jobId": "slowdoc", "document": {"url": self.server.base + "/slow/a.pdf"}}})
        self.assertTrue(self.server.trickling.wait(30), "the download did not start")
        self.send({"verolux": {"jobId": "rawbehind", "printer": "VXNONE", "raw": {"text": "^XA^XZ"}}})
        self.cancel("rawbehind")
        self.wait_json(lambda m: m.get("jobId") == "rawbehind" and m.get("state") == "cancelled")
        self.cancel("slowdoc")
        self.wait_json(lambda m: m.get("jobId") == "slowdoc" and m.get("state") == "cancelled")
        self.assertTrue(self.server.client_left.wait(10), "the download was not aborted")
        self.cancel("slowdoc")
        self.refusal("slowdoc")
        self.settle()
        self.assertEqual((["cancelled"], ["accepted", "cancelled"]), (self.states("rawbehind"), self.states("slowdoc")))

    def test_document_headers_reach_its_download_and_upload(self):
        pdf = PdfServer()
        self.addCleanup(pdf.close)
        report_id = unique("dochdr")
        self.send({"verolux": {"jobId": report_id, "document": {"url": pdf.base + "/d.pdf"}, "action": "pdf",
                               "reportId": report_id, "reportAdd": pdf.base + "/upload",
                               "headers": {"Authorization": "Bearer " + SECRET}}})
        done = self.wait_json(lambda m: m.get("jobId") == report_id and m.get("state") in FINAL, timeout=60)
        self.assertEqual("uploaded", done["state"], done)
        self.assertEqual([("GET", "/d.pdf", "Bearer " + SECRET), ("POST", "/upload", "Bearer " + SECRET)],
                         [(m, p, h["Authorization"]) for m, p, h in pdf.requests])


def PdfServer():
    return TemplateServer(b"%PDF-1.4\n1 0 obj<</Type/Catalog>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n")


class CancelInCups(CancelCase):
    """A queue of its own, stopped, on the shared scheduler (the cups lock); removed at the end."""

    queue = "VXHOLD"

    @classmethod
    def setUpClass(cls):
        setup_cups(cls.queue)
        subprocess.run(["cupsdisable", cls.queue], check=True)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        subprocess.run(["lpadmin", "-x", cls.queue], check=False)

    def test_job_held_in_a_stopped_queue_is_cancelled_in_cups(self):
        self.send(dict(make_request(self.backend, "orders.grf", preview="", printer=self.queue),
                       verolux={"jobId": "held"}))
        waiting = self.wait_json(lambda m: m.get("jobId") == "held" and m.get("state") == "waiting", timeout=90)
        self.cancel("held")
        cancelled = self.wait_json(lambda m: m.get("jobId") == "held" and m.get("state") == "cancelled")
        self.assertEqual(waiting["cupsJobId"], cancelled["cupsJobId"])
        attributes = subprocess.run(["ipptool", "-tv", "ipp://localhost/jobs/%d" % cancelled["cupsJobId"],
                                     "get-job-attributes.test"], capture_output=True, text=True).stdout
        self.assertIn("job-state (enum) = canceled", attributes)
        done = subprocess.run(["lpstat", "-W", "completed", "-o", self.queue], capture_output=True, text=True).stdout
        self.assertIn("%s-%d " % (self.queue, cancelled["cupsJobId"]), done)
        # The follower hears no more of it; a second cancel finds nothing.
        self.cancel("held")
        self.refusal("held")
        self.assertEqual(["accepted", "spooled", "waiting", "cancelled"], self.states("held"))

    def test_document_of_two_paper_sizes_is_cancelled_whole(self):
        from test_documents import two_size_pdf
        source = os.path.join(self.work, "two-held.pdf")
        two_size_pdf(source)
        self.send({"verolux": {"jobId": "twoheld", "printer": self.queue,
                               "document": {"base64": base64.b64encode(read_bytes(source)).decode()}}})
        spooled = self.wait_json(lambda m: m.get("jobId") == "twoheld" and m.get("state") == "spooled", timeout=60)
        self.cancel("twoheld")
        self.wait_json(lambda m: m.get("jobId") == "twoheld" and m.get("state") == "cancelled")
        # One CUPS job per paper size, the events following the last: none is left in the stopped queue.
        done = subprocess.run(["lpstat", "-W", "completed", "-o", self.queue], capture_output=True, text=True).stdout
        self.assertIn("%s-%d " % (self.queue, spooled["cupsJobId"]), done)
        waiting = subprocess.run(["lpstat", "-o", self.queue], capture_output=True, text=True).stdout
        self.assertEqual("", waiting)

    def test_raw_job_held_in_a_stopped_queue_is_cancelled_in_cups(self):
        self.send({"verolux": {"jobId": "rawheld", "printer": self.queue, "raw": {"text": "^XA^XZ"}}})
        spooled = self.wait_json(lambda m: m.get("jobId") == "rawheld" and m.get("state") == "spooled", timeout=60)
        self.cancel("rawheld")
        cancelled = self.wait_json(lambda m: m.get("jobId") == "rawheld" and m.get("state") == "cancelled")
        self.assertEqual(spooled["cupsJobId"], cancelled["cupsJobId"])
        done = subprocess.run(["lpstat", "-W", "completed", "-o", self.queue], capture_output=True, text=True).stdout
        self.assertIn("%s-%d " % (self.queue, cancelled["cupsJobId"]), done)


if __name__ == "__main__":
    unittest.main()
