"""A raw printer for CUPS' socket backend: a listener on 127.0.0.1 whose every connection's bytes, until
the sender closes, are one received job (in `jobs`, a queue)."""
import queue
import socket
import threading


class Listener:
    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen()
        self.port = self.sock.getsockname()[1]
        self.jobs = queue.Queue()
        threading.Thread(target=self._serve, daemon=True).start()

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
        self.sock.close()
