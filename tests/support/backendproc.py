"""The demo backend as a child process with its own folders, for tests and benchmarks."""
import http.client
import json
import os
import select
import shutil
import socket
import subprocess
import time
import urllib.parse

from agentproc import stop_process

SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SAMPLE_TEMPLATES = os.path.join(SOURCE_DIR, "demo", "templates")
DEMO_WEB = os.path.join(SOURCE_DIR, "demo", "web")


class Backend:
    """verolux-demo-backend on a free port. Templates are a copy of the samples, or an empty folder
    when templates is None (tests may add or change files there); uploads land in root/uploads,
    releases in root/releases."""

    def __init__(self, exe, root, web_dir=DEMO_WEB, templates=SAMPLE_TEMPLATES, update_key=None):
        self.root = root
        self.templates = os.path.join(root, "templates")
        self.uploads = os.path.join(root, "uploads")
        self.releases = releases = os.path.join(root, "releases")
        if templates is None:
            os.makedirs(self.templates, exist_ok=True)
        else:
            shutil.copytree(templates, self.templates, dirs_exist_ok=True)
        os.makedirs(self.uploads, exist_ok=True)
        os.makedirs(releases, exist_ok=True)
        os.makedirs(web_dir, exist_ok=True)
        self.log_path = os.path.join(root, "backend.log")
        self._log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(
            [exe, "--port", "0", "--templates", self.templates, "--uploads", self.uploads,
             "--releases", releases, "--web", web_dir] + (["--update-key", update_key] if update_key else []),
            stdout=subprocess.PIPE, stderr=self._log)
        ready, _, _ = select.select([self.proc.stdout], [], [], 15)
        line = self.proc.stdout.readline().decode() if ready else ""
        if not line.startswith("listening on http://127.0.0.1:"):
            self.stop()
            raise RuntimeError("demo backend did not start: %r" % line)
        self.base = line.split()[-1].strip()
        self.port = int(self.base.rsplit(":", 1)[1])

    def stop(self):
        stop_process(self.proc, 10)
        if self.proc.stdout:
            self.proc.stdout.close()
        self._log.close()

    # ---- HTTP ---------------------------------------------------------------------------------

    def exchange(self, method, target, body=None, headers=None, timeout=30):
        """Sends `target` as it stands (no normalisation); (status, headers, bytes)."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            conn.request(method, target, body=body, headers=headers or {})
            res = conn.getresponse()
            return res.status, dict(res.getheaders()), res.read()
        finally:
            conn.close()

    def request(self, method, target, body=None, timeout=30):
        status, _, data = self.exchange(method, target, body, timeout=timeout)
        return status, data

    def raw(self, request_bytes, timeout=10):
        """Sends raw bytes; everything the server sends back until it closes."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(request_bytes)
            chunks = []
            while True:
                data = s.recv(65536)
                if not data:
                    return b"".join(chunks)
                chunks.append(data)

    def get_json(self, target):
        status, data = self.request("GET", target)
        if status != 200:
            raise RuntimeError("GET %s: %d" % (target, status))
        return json.loads(data)

    def stats(self):
        return self.get_json("/api/stats")

    def downloads(self, name):
        return self.stats()["downloads"].get(name, 0)

    def uploads_for(self, report_id):
        return [u for u in self.stats()["uploads"] if u.get("st0") == report_id]

    def reset(self):
        status, _ = self.request("POST", "/api/reset")
        if status != 200:
            raise RuntimeError("reset failed: %d" % status)

    def fail(self, mode, path="", count=1, delay_ms=None):
        """Arms a failure for the next `count` requests under `path` (negative: until reset)."""
        query = {"mode": mode, "count": str(count)}
        if path:
            query["path"] = path
        if delay_ms is not None:
            query["delay_ms"] = str(delay_ms)
        status, data = self.request("POST", "/api/fail?" + urllib.parse.urlencode(query))
        if status != 200:
            raise RuntimeError("arming %s failed: %d %r" % (mode, status, data))

    # ---- addresses and files ------------------------------------------------------------------

    def template_url(self, name):
        return self.base + "/templates/" + urllib.parse.quote(name)

    @property
    def upload_url(self):
        return self.base + "/upload/pdf"

    def add_template(self, name, source="orders.grf"):
        """A copy of a sample under another name: a template no other test has touched."""
        shutil.copyfile(os.path.join(self.templates, source), os.path.join(self.templates, name))
        return name

    def template_md5(self, name):
        for t in self.get_json("/api/templates"):
            if t["name"] == name:
                return t["md5"]
        raise KeyError(name)

    def uploaded_file(self, report_id, ext=".pdf"):
        return os.path.join(self.uploads, report_id + ext)

    def wait_upload(self, report_id, timeout=30.0, poll=0.02):
        """The upload record of report_id once the backend has stored it, or None."""
        end = time.time() + timeout
        while time.time() < end:
            found = self.uploads_for(report_id)
            if found:
                return found[-1]
            if self.proc.poll() is not None:
                raise RuntimeError("demo backend exited")
            time.sleep(poll)
        return None
