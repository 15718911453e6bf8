"""An HTTP server for a job's own transfers: one template for any GET, 200 for every POST, and under
/slow/ a download that never ends on its own."""
import http.server
import threading
import time


class TemplateServer(http.server.ThreadingHTTPServer):
    """Keeps (method, path, headers) of each request. A GET under /slow/ announces 10 MB and sends `rate`
    bytes a second, paced by the clock (a test thread busy elsewhere must not slow it below the agent's
    low-speed limit), until `released` is set or the client goes (`client_left`); then the connection
    closes and the download fails."""

    def __init__(self, template, rate=2000):
        self.requests = []
        self.trickling, self.released, self.client_left = threading.Event(), threading.Event(), threading.Event()
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                owner.requests.append(("GET", self.path, self.headers))
                if not self.path.startswith("/slow/"):
                    self.reply(template)
                    return
                self.send_response(200)
                self.send_header("Content-Length", "10000000")
                self.end_headers()
                owner.trickling.set()
                start, sent = time.monotonic(), 0
                try:
                    while not owner.released.wait(0.1):
                        due = int((time.monotonic() - start) * rate) - sent
                        self.wfile.write(b"x" * due)
                        self.wfile.flush()
                        sent += due
                except OSError:
                    owner.client_left.set()
                self.close_connection = True

            def do_POST(self):
                self.rfile.read(int(self.headers["Content-Length"]))
                owner.requests.append(("POST", self.path, self.headers))
                self.reply(b"")

            def reply(self, body):
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        super().__init__(("127.0.0.1", 0), Handler)
        self.daemon_threads = True
        self.base = "http://127.0.0.1:%d" % self.server_address[1]
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return self.base + path

    def close(self):
        self.released.set()
        self.shutdown()
        self.server_close()
