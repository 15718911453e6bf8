"""A raw printer for CUPS' socket backend: a listener on 127.0.0.1 whose every connection's bytes, until
the sender closes, are one received job (in `jobs`, a queue). With a queue name it is that CUPS queue's
printer: the queue is added at once and removed on close."""
import queue
import socket
import subprocess
import threading


class Listener:
    def __init__(self, cups_queue=None):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen()
        self.port = self.sock.getsockname()[1]
        self.jobs = queue.Queue()
        threading.Thread(target=self._serve, daemon=True).start()
        self.cups_queue = cups_queue
        if cups_queue:
            subprocess.run(["lpadmin", "-p", cups_queue, "-E", "-v", "socket://127.0.0.1:%d" % self.port],
                           check=True, capture_output=True)

    def _serve(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with conn:
                data = b""
                while chunk := conn.recv(65536):
                    data += chunk
            self.jobs.put(data)

    def close(self):
        if self.cups_queue:
            subprocess.run(["lpadmin", "-x", self.cups_queue], capture_output=True)
        self.sock.close()
