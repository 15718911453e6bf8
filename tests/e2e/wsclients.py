"""Real WebSocket clients (python3-websockets) for tests that talk to a running agent.

websockets 10 has only the asyncio API; the clients live on a loop in a background thread, and the
test thread sends and waits through the methods below.
"""
import asyncio
import threading

import websockets
from agentproc import wait_for


class Clients:
    """`count` clients connected to ws://127.0.0.1:port; each keeps every text it receives."""

    def __init__(self, port, count=2, timeout=10.0):
        self.port = port
        self._loop = asyncio.new_event_loop()
        self._thread = threading.Thread(target=self._loop.run_forever, daemon=True)
        self._thread.start()
        self._lock = threading.Lock()
        self.received = [[] for _ in range(count)]
        self._conns = [self._call(self._connect(i), timeout) for i in range(count)]

    def _call(self, coro, timeout):
        return asyncio.run_coroutine_threadsafe(coro, self._loop).result(timeout)

    async def _connect(self, index):
        # No compression: the agent speaks plain frames only.
        ws = await websockets.connect("ws://127.0.0.1:%d/" % self.port, compression=None,
                                      max_size=None, open_timeout=10, ping_interval=None)
        self._loop.create_task(self._reader(index, ws))
        return ws

    async def _reader(self, index, ws):
        try:
            async for message in ws:
                with self._lock:
                    self.received[index].append(message)
        except websockets.ConnectionClosed:
            pass

    def send(self, text, client=0, timeout=60.0):
        self._call(self._conns[client].send(text), timeout)

    def clear(self):
        with self._lock:
            for r in self.received:
                r.clear()

    def messages(self, client):
        with self._lock:
            return list(self.received[client])

    def wait_all(self, text, timeout=30.0):
        """True once every client has received `text`."""
        return wait_for(lambda: all(text in self.messages(i) for i in range(len(self.received))), timeout, 0.01)

    def close(self):
        for ws in self._conns:
            try:
                self._call(ws.close(), 5)
            except Exception:
                pass
        self._loop.call_soon_threadsafe(self._loop.stop)
        self._thread.join(5)
        if not self._thread.is_alive():
            self._loop.close()
