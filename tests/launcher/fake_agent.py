#!/usr/bin/python3
# Stand-in for the agent in launcher tests: records its start, and like the agent holds
# Verolux.lock with its caption while it runs; a second copy ends at once.
import fcntl
import os
import sys
import time

home = os.environ.get("VEROLUX_HOME") or os.path.dirname(os.path.abspath(__file__))
version = os.environ.get("FAKE_AGENT_VERSION", "1.0.0")
with open(os.path.join(home, "agent-starts.txt"), "a") as f:
    f.write(f"{os.getpid()}\n")
fd = os.open(os.path.join(home, "Verolux.lock"), os.O_RDWR | os.O_CREAT, 0o644)
try:
    fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
except BlockingIOError:
    with open(os.path.join(home, "agent-ends.txt"), "a") as f:
        f.write(f"{os.getpid()}\n")
    sys.exit(0)
caption = ("Web报表服务端 (" + version + ")").encode("utf-8")
os.pwrite(fd, caption, 0)
os.ftruncate(fd, len(caption))
time.sleep(float(os.environ.get("FAKE_AGENT_SECONDS", "20")))
