#!/usr/bin/python3
"""The print pipeline end to end: the real agent, the demo backend and two real WebSocket clients.

Run: VEROLUX_BIN_DIR=build/bin /usr/bin/python3 tests/e2e/test_pipeline.py -v [Class]
"""
import json
import os
import re
import time
import unittest

from harness import (FAILED, NOT_FOUND, AgentCase, make_request, order_rows, pdf_text, read_bytes, tree,
                     unique)


def file_url_record(folder, name):
    """[fileUrl] name of the agent's settings file, None when there is none."""
    text = read_bytes(os.path.join(folder, "MyIni.ini")).decode("utf-8")
    inside = False
    for line in text.splitlines():
        if re.fullmatch(r"\[[^=]*\]", line):  # "[x].grf=url]" is a key line
            inside = line == "[fileUrl]"
        elif inside and line.startswith(name + "="):
            return line[len(name) + 1:]
    return None


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
        # The export stays in the template folder under the report's id.
        self.assertEqual(read_bytes(uploaded), read_bytes(os.path.join(self.agent.report_dir, report_id + ".pdf")))
        self.assertEqual([[], []], self.settle(), "success is not reported")

    def test_same_id_again_while_the_first_works_and_its_sender_gone(self):
        # The second request, with the same id, arrives while the first window still works, and its page
        # closes right after sending: both are carried out and uploaded, nobody is told, and the second
        # export overwrote the first one's file.
        from wsclients import Clients
        report_id = unique("twice")
        self.send(make_request(self.backend, "orders.grf", report_id=report_id, rows=order_rows(2000, "BIG")))
        short_lived = Clients(self.agent.port, 1)
        short_lived.send(json.dumps(make_request(self.backend, "orders.grf", report_id=report_id,
                                                 rows=order_rows(2, "SMALL"))))
        short_lived.close()
        self.wait_until(lambda: len(self.backend.uploads_for(report_id)) == 2, "second upload", 60)
        local = pdf_text(os.path.join(self.agent.report_dir, report_id + ".pdf"))
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
        after = rss_mb(pid)
        print("\nagent RSS: idle %.0f MB, peak %.0f MB, after %.0f MB" % (idle, peak, after))
        self.assertGreater(peak - idle, 50, "the burst did not use the memory it is meant to")
        self.assertLess(after - idle, 30)


class TemplateStore(AgentCase):
    """The download decisions, counted by the backend. Lower-case digests and addresses too long to
    record are decided the same way and run as unit tests (tests/printing)."""

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
        self.assertEqual(0, self.request_and_count(name, md5))
        self.assertEqual(0, self.request_and_count(name))
        # Another URL for the same name fetches again; the digest of the same file then matches.
        other = self.backend.template_url(name) + "?v=2"
        self.assertEqual(1, self.request_and_count(name, md5, other))
        self.assertEqual(other, file_url_record(self.folder, name))
        # The backend's copy changes: its new digest no longer matches the local file.
        self.backend.add_template(name, source="invoice.grf")
        self.assertEqual(1, self.request_and_count(name, self.backend.template_md5(name), other))
        self.assertEqual(read_bytes(os.path.join(self.backend.templates, name)),
                         read_bytes(os.path.join(self.agent.report_dir, name)))

    def test_names_and_sources_that_look_like_settings_syntax(self):
        # "=" and a leading "[" in a plain file name, a source ending in "]": "[x].grf=…?a=[1]" is a
        # key line, not a section. The record reads back and is replaced: later requests download
        # nothing and the settings file keeps one line per name.
        for stem, query in (("a=b", ""), ("[x]", "?a=[1]")):
            with self.subTest(stem):
                name = self.backend.add_template(unique(stem) + ".grf")
                url = self.backend.template_url(name) + query
                self.assertEqual(1, self.request_and_count(name, url=url))
                self.assertEqual(0, self.request_and_count(name, url=url))
                self.assertEqual(url, file_url_record(self.folder, name))
                lines = read_bytes(os.path.join(self.folder, "MyIni.ini")).decode("utf-8").splitlines()
                self.assertEqual(1, sum(1 for line in lines if line.startswith(name + "=")))


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
        cases = {"template parent": dict(repname="../x.grf"), "template absolute": dict(repname=absolute),
                 "id parent": dict(report_id="../../evil"), "id empty": dict(report_id="")}
        for label, names in cases.items():
            with self.subTest(label):
                self.clients.clear()
                self.backend.reset()
                before = tree(self.work)
                request = make_request(self.backend, names.get("repname", "orders.grf"), reporturl=orders,
                                       report_id=names.get("report_id"))
                self.send(request)
                self.expect_reply(FAILED)
                # With a plain template name the template itself may be fetched into its folder.
                if "repname" in names:
                    self.assertEqual(0, self.backend.downloads("orders.grf"), "the template was fetched")
                    self.assertEqual(set(), self.added_files(before))
                else:
                    self.assertLessEqual(self.added_files(before), {os.path.join("agent", "prog", "report", "orders.grf")})
                self.assertEqual([], self.backend.stats()["uploads"])
        self.assertFalse(os.path.exists(absolute))

    def test_addresses_other_than_http(self):
        # A template only comes over http(s): a file URL is not read, whatever it names.
        secret = os.path.join(self.outside, "secret.grf")
        with open(secret, "w") as f:
            f.write(read_bytes(os.path.join(self.backend.templates, "orders.grf")).decode())
        name = unique("file-url") + ".grf"
        self.send(make_request(self.backend, name, reporturl="file://" + secret))
        self.expect_reply(NOT_FOUND + name)
        self.assertEqual([], self.leftovers(name))
        # Nor does an upload go anywhere but http(s): a file URL as reportAdd fails and writes nothing.
        self.clients.clear()
        target = os.path.join(self.outside, "posted.json")
        request = make_request(self.backend, "orders.grf", report_add="file://" + target)
        self.send(request)
        self.expect_reply(FAILED)
        self.assertFalse(os.path.exists(target))


class BackendFailures(AgentCase):
    """Template downloads that fail at the backend (a 500 and a dropped connection are the same failed
    download: tests/common). Failed uploads: the print procedure's unit table."""

    def test_failed_download_of_a_missing_template(self):
        name = self.backend.add_template(unique("fail-drop") + ".grf")
        self.backend.fail("drop", "/templates/" + name, count=-1)
        request = make_request(self.backend, name, md5=self.backend.template_md5(name))
        self.send(request)
        self.expect_reply(NOT_FOUND + name)
        self.assertEqual(2, self.backend.downloads(name))
        self.assertEqual([], self.leftovers(name), "no partial or temporary file stays")
        self.assertEqual(request["reporturl"], file_url_record(self.folder, name))  # recorded all the same
        self.backend.fail("none")

    def test_download_over_an_existing_template(self):
        # A digest the file does not have forces a download. A 500 keeps the old copy, which prints;
        # a complete 200 replaces it (a fresh download's digest is not checked), and bytes that are no
        # template fail the request. Either way no temporary file stays.
        for mode in ("500", "garbage"):
            with self.subTest(mode):
                name = self.backend.add_template(unique("over-" + mode) + ".grf")
                self.send_pdf(make_request(self.backend, name))
                local = os.path.join(self.agent.report_dir, name)
                original = read_bytes(local)
                self.backend.reset()
                self.backend.fail(mode, "/templates/" + name, count=-1)
                request = make_request(self.backend, name, md5="0" * 32, rows=order_rows(2, "KEPT"))
                if mode == "500":
                    self.assertIn("KEPT000001", pdf_text(self.send_pdf(request)))
                    self.assertEqual(original, read_bytes(local))
                else:
                    self.clients.clear()
                    self.send(request)
                    self.expect_reply(FAILED)
                    self.assertNotEqual(original, read_bytes(local))
                    self.assertEqual([], self.backend.uploads_for(request["reportId"]))
                self.assertEqual(1, self.backend.downloads(name))
                self.assertEqual([name], self.leftovers(name))
                self.backend.fail("none")


class TemplateFolderMissing(AgentCase):
    """The agent never creates its template folder: without it no template can be fetched."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        os.rmdir(cls.agent.report_dir)

    def test_every_request_ends_not_found(self):
        # The template is looked after before the mode: a PDF and a print end alike.
        for preview in ("2", ""):
            with self.subTest(preview=preview):
                self.clients.clear()
                self.send(make_request(self.backend, "orders.grf", preview=preview))
                self.expect_reply(NOT_FOUND + "orders.grf")
                self.assertFalse(os.path.exists(self.agent.report_dir))
                self.assertEqual([], [f for f in os.listdir(self.folder) if "orders" in f])


if __name__ == "__main__":
    unittest.main()
