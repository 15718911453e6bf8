#!/usr/bin/python3
"""The print pipeline end to end: the real agent, the demo backend and two real WebSocket clients.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_pipeline.py -v [Class]
"""
import json
import os
import shutil
import time
import unittest

from harness import FAILED, NOT_FOUND, AgentCase, make_request, order_rows, pdf_text, read_bytes, tree, unique
from agentproc import read_ini, wait_for  # found through the path the harness sets


def file_url_record(folder, name):
    """The address recorded for a template (plain names only: the settings file's syntax is a unit table)."""
    return read_ini(folder).get("fileUrl", {}).get(name)


class PdfOutput(AgentCase):
    """preview "2": the report is exported, uploaded with st0 = reportId, and nobody is told."""

    def test_upload_holds_the_rows_and_parameters(self):
        # A number id and preview read as a browser prints them (2.0 is "2", big integers digit for
        # digit); the full tables of number texts and escaped ids are the reader's and the body's tests.
        report_id = "1234567890123456789%04d" % (os.getpid() % 10000)
        rows = order_rows(5, prefix="PDFROW")
        self.send(make_request(self.backend, "orders.grf", preview=2.0, report_id=int(report_id), rows=rows,
                               company="维罗勒克斯端到端公司"))
        record = self.backend.wait_upload(report_id, 30)
        self.assertIsNotNone(record, "replies %r" % self.clients.messages(0))
        self.assertEqual(("pdf", "", "/upload/pdf"), (record["kind"], record["st2"], record["path"]))
        self.assertTrue(record["contentType"].startswith("application/json"), record["contentType"])
        uploaded = self.backend.uploaded_file(report_id)
        text = pdf_text(uploaded)
        for row in rows:
            self.assertIn(row["orderNo"], text)
        self.assertIn("维罗勒克斯端到端公司", text)
        self.assertEqual([[], []], self.settle(), "success is not reported")
        # The backend took the export: it leaves the template folder (beside the reply, not before it).
        pdf = os.path.join(self.agent.report_dir, report_id + ".pdf")
        self.wait_until(lambda: not os.path.exists(pdf), "the uploaded PDF removed")

    def test_same_id_again_while_the_first_works_and_its_sender_gone(self):
        # The second request, with the same id, arrives while the first window still works, and its page
        # closes right after sending: both are carried out and uploaded in their order, nobody is told,
        # and the backend holds the second export.
        from wsclients import Clients
        report_id = unique("twice")
        self.send(make_request(self.backend, "orders.grf", report_id=report_id, rows=order_rows(2000, "BIG")))
        short_lived = Clients(self.agent.port, 1)
        short_lived.send(json.dumps(make_request(self.backend, "orders.grf", report_id=report_id,
                                                 rows=order_rows(2, "SMALL"))))
        short_lived.close()
        self.wait_until(lambda: len(self.backend.uploads_for(report_id)) == 2, "second upload", 60)
        local = pdf_text(self.backend.uploaded_file(report_id))
        self.assertIn("SMALL000001", local)
        self.assertNotIn("BIG000001", local)
        self.assertEqual([[], []], self.settle())


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) / 1024.0 for line in f if line.startswith("VmRSS:"))


class Memory(AgentCase):
    """After a burst of large requests the agent's memory returns near its idle level."""

    def test_burst_of_large_requests(self):
        # A first job loads what stays for good (fonts, caches); its level is the idle one.
        self.send_pdf(make_request(self.backend, "orders.grf", rows=order_rows(2000)))
        self.settle()
        pid = self.agent.proc.pid
        idle = peak = rss_mb(pid)
        burst = [make_request(self.backend, "orders.grf", rows=order_rows(20000, prefix="M%d" % i)) for i in range(4)]
        for request in burst:
            self.send(request)
        for request in burst:
            end = time.time() + 120
            while not self.backend.uploads_for(request["reportId"]) and time.time() < end:
                peak = max(peak, rss_mb(pid))
                time.sleep(0.01)
        self.settle()
        # The agent hands freed memory back once the burst has paused for a moment.
        wait_for(lambda: rss_mb(pid) - idle < 30, 10)
        after = rss_mb(pid)
        print("\nagent RSS: idle %.0f MB, peak %.0f MB, after %.0f MB" % (idle, peak, after))
        self.assertGreater(peak - idle, 50, "the burst did not use the memory it is meant to")
        self.assertLess(after - idle, 30)


class TemplateStore(AgentCase):
    """The download decisions, counted by the backend. Addresses too long to record are decided the
    same way and run as unit tests (tests/printing)."""

    def request_and_count(self, name, md5="", url=None):
        self.backend.reset()
        request = make_request(self.backend, name, md5=md5, reporturl=url)
        self.send_pdf(request)
        return self.backend.downloads(name)

    def test_downloads_over_a_templates_life(self):
        name = self.backend.add_template(unique("store") + ".grf")
        md5 = self.backend.template_md5(name)
        # Missing file: once for the source, once more for the digest; then the copy is current.
        self.assertEqual(2, self.request_and_count(name, md5))
        self.assertEqual(self.backend.template_url(name), file_url_record(self.folder, name))
        self.assertEqual(0, self.request_and_count(name, md5.lower()))
        # The backend's copy changes: its new digest no longer matches the local file. (Every other
        # combination of address, record and digest is a row of TemplateStoreTest's plan table.)
        self.backend.add_template(name, source="invoice.grf")
        self.assertEqual(1, self.request_and_count(name, self.backend.template_md5(name)))
        self.assertEqual(read_bytes(os.path.join(self.backend.templates, name)),
                         read_bytes(os.path.join(self.agent.report_dir, name)))


class PathNames(AgentCase):
    """repname and reportId become file names: anything but a plain name fails, and nothing is read
    or written outside the template folder."""

    def setUp(self):
        super().setUp()
        self.outside = os.path.dirname(self.folder)  # holds the program folder and nothing else
        os.makedirs(os.path.join(self.agent.report_dir, "a"), exist_ok=True)

    def added_files(self, before):
        """Files that appeared since `before`, leaving out the backend's and the agent's own log."""
        own = {os.path.join("agent", "prog", "MyLog.txt")}
        return {p for p in tree(self.work) - before if not p.startswith("backend") and p not in own}

    def test_names_that_are_no_plain_file_names(self):
        # The full tables of names are unit tests of the store (tests/printing); here, nothing is written.
        absolute = os.path.join(self.outside, "abs.grf")
        orders = self.backend.template_url("orders.grf")  # a real template: only the name can stop it
        for repname, report_id in (("../x.grf", None), (absolute, None), ("orders.grf", "../../evil"), ("orders.grf", "")):
            with self.subTest(repname=repname, report_id=report_id):
                self.clients.clear()
                self.backend.reset()
                before = tree(self.work)
                self.send(make_request(self.backend, repname, reporturl=orders, report_id=report_id))
                self.expect_reply(FAILED)
                # With a plain template name the template itself may be fetched into its folder.
                if report_id is None:
                    self.assertEqual(0, self.backend.downloads("orders.grf"), "the template was fetched")
                fetched = {os.path.join("agent", "prog", "report", "orders.grf")} if report_id is not None else set()
                self.assertLessEqual(self.added_files(before), fetched)
                self.assertEqual([], self.backend.stats()["uploads"])
        self.assertFalse(os.path.exists(absolute))

    def test_addresses_other_than_http(self):
        # Templates only come and uploads only go over http(s): a file URL, whatever it names, is neither
        # read (a real template lies there) nor written.
        secret, target = os.path.join(self.outside, "secret.grf"), os.path.join(self.outside, "posted.json")
        shutil.copy(os.path.join(self.backend.templates, "orders.grf"), secret)
        name = unique("file-url") + ".grf"
        self.send(make_request(self.backend, name, reporturl="file://" + secret))
        self.expect_reply(NOT_FOUND + name)
        self.assertEqual([], self.leftovers(name))
        self.clients.clear()
        self.send(make_request(self.backend, "orders.grf", report_add="file://" + target))
        self.expect_reply(FAILED)
        self.assertFalse(os.path.exists(target))

    def test_without_the_template_folder_every_request_ends_not_found(self):
        # The agent never creates its template folder; the template is looked after before the mode, so
        # a PDF and a print end alike.
        os.rename(self.agent.report_dir, self.agent.report_dir + ".away")
        self.addCleanup(os.rename, self.agent.report_dir + ".away", self.agent.report_dir)
        for preview in ("2", ""):
            with self.subTest(preview=preview):
                self.clients.clear()
                self.send(make_request(self.backend, "orders.grf", preview=preview))
                self.expect_reply(NOT_FOUND + "orders.grf")
                self.assertFalse(os.path.exists(self.agent.report_dir))
                self.assertEqual([], [f for f in os.listdir(self.folder) if "orders" in f])


class BackendFailures(AgentCase):
    """A template download that fails at the backend. What a failed download leaves (the old copy in use,
    the address recorded all the same, the counts) is the store's unit test (tests/printing), that no
    temporary file stays the HTTP client's (tests/common); failed uploads, the print procedure's table."""

    def test_garbage_over_an_existing_template(self):
        # A digest the file does not have forces a download; a complete 200 replaces the copy (a fresh
        # download's digest is not checked), and bytes that are no template fail the request.
        name = self.backend.add_template(unique("over-garbage") + ".grf")
        self.send_pdf(make_request(self.backend, name))
        local = os.path.join(self.agent.report_dir, name)
        original = read_bytes(local)
        self.backend.reset()
        self.backend.fail("garbage", "/templates/" + name, count=-1)
        self.addCleanup(self.backend.fail, "none")
        self.clients.clear()
        request = make_request(self.backend, name, md5="0" * 32)
        self.send(request)
        self.expect_reply(FAILED)
        self.assertNotEqual(original, read_bytes(local))
        self.assertEqual([], self.backend.uploads_for(request["reportId"]))
        self.assertEqual(1, self.backend.downloads(name))
        self.assertEqual([name], self.leftovers(name))


if __name__ == "__main__":
    unittest.main()
