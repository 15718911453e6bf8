"""scripts/run-demo.sh as a person runs it: it comes up on the ports given in the environment, says
where windows appear, and stops at once on Ctrl-C (SIGINT to its process group) and on a plain kill."""
import os
import shutil
import signal
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from agentproc import free_port, stop_process, wait_for, wait_port, wait_port_closed  # noqa: E402

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "run-demo.sh")


class Demo:
    def __init__(self, test):
        self.agent_port, self.backend_port = free_port(), free_port()
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env.update(VEROLUX_DEMO_AGENT_PORT=str(self.agent_port), VEROLUX_DEMO_BACKEND_PORT=str(self.backend_port))
        # Its own session, as a terminal gives a foreground job: Ctrl-C reaches the whole group.
        self.proc = subprocess.Popen(["bash", SCRIPT], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, start_new_session=True, text=True)
        test.addCleanup(self.cleanup)
        self.output = []
        self.reader = threading.Thread(target=lambda: self.output.extend(self.proc.stdout), daemon=True)
        self.reader.start()

    def says(self, text, timeout):
        """Whether the output holds the text within timeout seconds (false at once when it has ended)."""
        wait_for(lambda: any(text in line for line in self.output) or not self.reader.is_alive(), timeout)
        return any(text in line for line in self.output)

    def cleanup(self):
        stop_process(self.proc)
        self.reader.join(10)
        self.proc.stdout.close()
        for line in self.output:
            if line.startswith("stopped; the program folder stays at "):
                shutil.rmtree(line.split(" at ", 1)[1].strip(), ignore_errors=True)


class Stopping(unittest.TestCase):
    def check_stops(self, send):
        demo = Demo(self)
        # The first run may build the programs.
        self.assertTrue(demo.says("Press Ctrl-C to stop.", 900), "".join(demo.output))
        text = "".join(demo.output)
        self.assertIn("?agent=%d" % demo.agent_port, text)
        self.assertIn("no display, so the agent runs offscreen", text)
        # The port reaches the agent through the launcher, as VEROLUX_PORT.
        self.assertTrue(wait_port(demo.agent_port, 1), "the agent listens on VEROLUX_DEMO_AGENT_PORT")
        started = time.time()
        send(demo.proc)
        demo.proc.wait(timeout=15)
        self.assertLess(time.time() - started, 10)
        self.assertEqual(demo.proc.returncode, 0)
        demo.says("stopped;", 5)
        self.assertTrue(wait_port_closed(demo.agent_port), "the agent ended with the demo")
        self.assertTrue(wait_port_closed(demo.backend_port), "the backend ended with the demo")

    def test_ctrl_c(self):
        self.check_stops(lambda p: os.killpg(p.pid, signal.SIGINT))

    def test_plain_kill(self):
        self.check_stops(lambda p: p.send_signal(signal.SIGTERM))


if __name__ == "__main__":
    unittest.main(verbosity=2)
