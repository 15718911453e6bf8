#!/usr/bin/python3
"""Two people on one machine: each user's agent listens on a port of its own and serves only that user.

Run: VEROLUX_BIN_DIR=build/dev/bin /usr/bin/python3 tests/e2e/test_two_users.py -v [Class]
TwoUsers creates two users and needs root (skipped otherwise); ListenRetry runs as anyone.
"""
import asyncio
import json
import os
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))

FINAL = {"uploaded", "completed", "shown", "opened", "failed"}


async def run_client(ports, request):
    """As a page's client does: tries every port in order and keeps the first agent that answers hello;
    sends the request (if any) there as a job and waits for its last event."""
    import websockets
    outcomes, own, events = [], None, []
    for port in ports:
        try:
            ws = await websockets.connect("ws://127.0.0.1:%d/" % port, compression=None, max_size=None,
                                          open_timeout=10, ping_interval=None)
        except ConnectionRefusedError:
            outcomes.append({"port": port, "outcome": "nothing"})  # no one listens there
            continue
        except Exception as e:  # accepted, then closed before the handshake was answered
            outcomes.append({"port": port, "outcome": "closed", "error": type(e).__name__})
            continue
        await ws.send(json.dumps({"verolux": "hello"}))
        hello = json.loads(await asyncio.wait_for(ws.recv(), 10))
        outcomes.append({"port": port, "outcome": "hello", "hello": hello})
        if own is None:
            own = ws
        else:
            await ws.close()
    if own is not None and request:
        await own.send(request)
        while not events or events[-1].get("state") not in FINAL:
            message = json.loads(await asyncio.wait_for(own.recv(), 60))
            if message.get("verolux") == "job":
                events.append(message)
    if own is not None:
        await own.close()
    return {"outcomes": outcomes, "events": events}


if __name__ == "__main__" and sys.argv[1:2] == ["--client"]:
    # The client side, run as one of the users: ports, then the request's text or "".
    result = asyncio.run(run_client([int(p) for p in sys.argv[2].split(",")], sys.argv[3]))
    print(json.dumps(result, ensure_ascii=False))
    sys.exit(0)

from agentproc import Agent, free_port, stop_process, wait_for, wait_port, write_ini  # noqa: E402
from backendproc import Backend  # noqa: E402
from harness import make_request, pdf_text, unique  # noqa: E402

BIN_DIR = os.environ.get("VEROLUX_BIN_DIR", "")


def free_range(count):
    """A first port whose `count` ports (it and those after it) are all free on loopback now."""
    for _ in range(50):
        first = free_port()
        if first + count > 65536:
            continue
        if all(port_free(p) for p in range(first, first + count)):
            return first
    raise RuntimeError("no %d free ports in a row" % count)


def port_free(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def children(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(c) for c in f.read().split()]
    except OSError:
        return []


class User:
    """A user made for the test, with a program folder in its home, and its agent."""

    def __init__(self, name, backend):
        subprocess.run(["useradd", "-m", name], check=True, capture_output=True)
        self.name = name
        entry = pwd.getpwnam(name)
        self.uid, self.home = entry.pw_uid, entry.pw_dir
        self.folder = os.path.join(self.home, "verolux")
        os.makedirs(os.path.join(self.folder, "report"))
        write_ini(self.folder, {"AppInfo": {"WebsUrl": backend.base}, "Verolux": {"Show": "1"}})
        subprocess.run(["chown", "-R", "%s:" % name, self.folder], check=True)
        self.agent = None

    def run(self, *command, **kwargs):
        return subprocess.run(["runuser", "-u", self.name, "--", "env", "HOME=" + self.home] + list(command), **kwargs)

    def start_agent(self, ports):
        self.stderr = open(os.path.join(self.home, "agent.stderr"), "wb")
        self.agent = subprocess.Popen(
            ["runuser", "-u", self.name, "--", "env", "HOME=" + self.home, "VEROLUX_HOME=" + self.folder,
             "QT_QPA_PLATFORM=offscreen", os.path.join(BIN_DIR, "Verolux"), "--port", ports],
            stdout=subprocess.DEVNULL, stderr=self.stderr)

    def client(self, ports, request=""):
        """What this user's client met on each port, and the events of its job."""
        done = self.run("/usr/bin/python3", os.path.abspath(__file__), "--client", ",".join(map(str, ports)), request,
                        capture_output=True, text=True, timeout=120)
        if done.returncode != 0:
            raise RuntimeError("client of %s failed: %s" % (self.name, done.stderr))
        return json.loads(done.stdout)

    def remove(self):
        if self.agent is not None:
            # runuser waits for the agent: end the agent itself, then runuser ends too.
            for pid in children(self.agent.pid):
                try:
                    os.kill(pid, 15)
                except ProcessLookupError:
                    pass
            stop_process(self.agent, 10)
            self.stderr.close()
        subprocess.run(["userdel", "-r", self.name], capture_output=True)


class TwoUsers(unittest.TestCase):
    """Two users, each with an agent started the same way (one port range): the second agent takes the
    next port, and each user's client reaches its own agent alone."""

    @classmethod
    def setUpClass(cls):
        if not BIN_DIR or not os.path.exists(os.path.join(BIN_DIR, "Verolux")):
            raise unittest.SkipTest("VEROLUX_BIN_DIR does not hold Verolux")
        if os.geteuid() != 0 or not shutil.which("useradd") or not shutil.which("runuser"):
            raise unittest.SkipTest("creating users needs root, useradd and runuser")
        cls.work = tempfile.mkdtemp(prefix="verolux-users-")
        cls.users = []
        try:
            cls.backend = Backend(os.path.join(BIN_DIR, "verolux-demo-backend"), os.path.join(cls.work, "backend"))
            tag = os.getpid() % 100000
            cls.users = [User("vxa%d" % tag, cls.backend)]
            cls.users.append(User("vxb%d" % tag, cls.backend))
            cls.first = free_range(3)
            cls.ports = [cls.first, cls.first + 1, cls.first + 2]
            ports = "%d-%d" % (cls.first, cls.first + 2)
            # The first agent takes the first port before the second one starts.
            cls.users[0].start_agent(ports)
            if not wait_port(cls.first, 15):
                raise RuntimeError("the first user's agent did not listen on %d" % cls.first)
            cls.users[1].start_agent(ports)
            if not wait_port(cls.first + 1, 15):
                raise RuntimeError("the second user's agent did not listen on %d" % (cls.first + 1))
        except Exception:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        for user in cls.users:
            user.remove()
        if getattr(cls, "backend", None):
            cls.backend.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_each_user_reaches_its_own_agent_alone(self):
        a, b = self.users
        first, second, third = self.ports
        seen_a = self.user_sees(a)
        seen_b = self.user_sees(b)
        # The other user's agent closes the connection before any answer; the third port has no agent.
        self.assertEqual([(first, "hello"), (second, "closed"), (third, "nothing")], seen_a)
        self.assertEqual([(first, "closed"), (second, "hello"), (third, "nothing")], seen_b)

    def user_sees(self, user):
        outcomes = user.client(self.ports)["outcomes"]
        for o in outcomes:
            if o["outcome"] == "hello":
                self.assertEqual(o["port"], o["hello"]["port"], "the agent says where it listens")
        return [(o["port"], o["outcome"]) for o in outcomes]

    def test_a_pdf_of_each_user_lands_in_its_own_folder(self):
        a, b = self.users
        for user, other in ((a, b), (b, a)):
            request = make_request(self.backend, "orders.grf", preview="2", company="公司 " + user.name)
            request["verolux"] = {"jobId": unique("job")}
            # An upload that fails keeps the PDF where it was written (an uploaded one is removed).
            request["reportAdd"] = "http://127.0.0.1:%d/upload" % free_port()
            result = user.client(self.ports, json.dumps(request, ensure_ascii=False))
            last = result["events"][-1]
            self.assertEqual(("failed", "upload-failed"), (last["state"], last.get("code")), result)
            pdf = os.path.join(user.folder, "report", request["reportId"] + ".pdf")
            self.assertTrue(os.path.exists(pdf), "%s's PDF is not in its own folder" % user.name)
            self.assertEqual(user.uid, os.stat(pdf).st_uid, "written by the user's own agent")
            self.assertIn("公司 " + user.name, pdf_text(pdf))
            self.assertFalse(os.path.exists(os.path.join(other.folder, "report", request["reportId"] + ".pdf")))


class ListenRetry(unittest.TestCase):
    """Ports that are taken: the range moves on, an explicit port waits, and both are tried again until
    a port frees."""

    def setUp(self):
        if not BIN_DIR or not os.path.exists(os.path.join(BIN_DIR, "Verolux")):
            raise unittest.SkipTest("VEROLUX_BIN_DIR does not hold Verolux")
        self.folder = tempfile.mkdtemp(prefix="verolux-retry-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        # A backend that refuses at once: the start's update check does not wait on the network.
        write_ini(self.folder, {"AppInfo": {"WebsUrl": "http://127.0.0.1:9"}, "Verolux": {"Show": "1"}})
        self.held = {}

    def hold(self, port):
        s = socket.socket()
        s.bind(("127.0.0.1", port))
        s.listen()
        self.held[port] = s
        self.addCleanup(s.close)

    def start(self, ports):
        agent = Agent(BIN_DIR, self.folder, ports, stderr_path=os.devnull)
        self.addCleanup(agent.stop)
        return agent

    def wait_log(self, agent, text, timeout=15):
        self.assertTrue(wait_for(lambda: text in agent.log_file(), timeout), "MyLog.txt: %r" % agent.log_file())

    def hello_port(self, port):
        """The port the agent on `port` says it listens on; None while nothing answers there."""
        result = asyncio.run(run_client([port], ""))["outcomes"][0]
        return result["hello"]["port"] if result["outcome"] == "hello" else None

    def test_a_taken_range_is_tried_again_until_a_port_frees(self):
        first = free_range(2)
        self.hold(first)
        self.hold(first + 1)
        agent = self.start("%d-%d" % (first, first + 1))
        self.wait_log(agent, "监听端口 %d-%d 失败:" % (first, first + 1))
        self.held.pop(first + 1).close()
        # The next try, a few seconds later, takes the freed port.
        self.assertTrue(wait_for(lambda: self.hello_port(first + 1) == first + 1, 15, 0.2))
        self.wait_log(agent, "开始监听端口 %d" % (first + 1))

    def test_an_explicit_port_is_that_port_alone(self):
        port = free_range(2)
        self.hold(port)
        agent = self.start(str(port))
        self.wait_log(agent, "监听端口 %d 失败:" % port)
        self.assertEqual("nothing", asyncio.run(run_client([port + 1], ""))["outcomes"][0]["outcome"])
        self.held.pop(port).close()
        self.assertTrue(wait_for(lambda: self.hello_port(port) == port, 15, 0.2))


if __name__ == "__main__":
    unittest.main()
