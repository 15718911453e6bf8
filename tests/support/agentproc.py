"""Helpers for tests that run the real programs in throw-away program folders."""
import os
import shutil
import socket
import subprocess
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_ini(folder, sections):
    """Writes MyIni.ini with CR LF lines: sections = {"Verolux": {"Show": "1"}, ...}."""
    lines = []
    for name, keys in sections.items():
        lines.append(f"[{name}]")
        lines += [f"{k}={v}" for k, v in keys.items()]
    with open(os.path.join(folder, "MyIni.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("utf-8"))


def read_ini(folder):
    """{section: {key: value}} with the first occurrence winning, names as written."""
    result, current = {}, None
    path = os.path.join(folder, "MyIni.ini")
    if not os.path.exists(path):
        return result
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for raw in text.splitlines():
        line = raw.strip()
        if line.startswith("[") and line.endswith("]") and "=" not in line:  # "[x].grf=…" is a key
            current = result.setdefault(line[1:-1].strip(), {})
        elif current is not None and "=" in line:
            k, v = line.split("=", 1)
            current.setdefault(k.strip(), v.strip())
    return result


def wait_for(cond, timeout=10.0, poll=0.05):
    """Polls cond until it holds; its last result after timeout seconds."""
    end = time.time() + timeout
    while time.time() < end:
        if cond():
            return True
        time.sleep(poll)
    return cond()


def wait_port(port, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def wait_port_closed(port, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            time.sleep(0.1)
        except OSError:
            return True
    return False


def agent_pids(folder):
    """Live processes of the folder's Verolux (also after the file was replaced)."""
    mine, pids = os.path.join(folder, "Verolux"), []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink(f"/proc/{entry}/exe").split(" (deleted)")[0] == mine:
                with open(f"/proc/{entry}/stat") as f:
                    if f.read().rsplit(") ", 1)[1][0] != "Z":
                        pids.append(int(entry))
        except OSError:
            pass
    return pids


def stop_agents(folder, timeout=10.0):
    """Asks the folder's agents to end, and kills those that do not within timeout seconds."""
    for sig in (15, 9):
        for pid in agent_pids(folder):
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        if wait_for(lambda: not agent_pids(folder), timeout):
            return


def temp_folder(test):
    d = tempfile.TemporaryDirectory(prefix="verolux-")
    test.addCleanup(d.cleanup)
    return d.name


def stop_process(proc, timeout=5):
    """Asks a program to end, and kills it when it does not within timeout seconds."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Agent:
    """The real Verolux binary in a program folder. Offscreen unless an X display is given; stderr
    goes to a pipe, or to a file when stderr_path is given (a pipe nobody reads would block a chatty
    agent). wrapper: a command the agent runs under, e.g. ["prlimit", "--nofile=256:256", "--"]."""

    def __init__(self, bin_dir, folder, port, extra_env=None, display=None, stderr_path=None, wrapper=()):
        env = dict(os.environ, VEROLUX_HOME=folder, QT_QPA_PLATFORM="offscreen")
        if display:
            env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb")
        env.update(extra_env or {})
        self.folder, self.port = folder, port
        self._err = open(stderr_path, "wb") if stderr_path else None
        self.proc = subprocess.Popen(list(wrapper) + [os.path.join(bin_dir, "Verolux"), "--port", str(port)], env=env,
                                     stdout=subprocess.DEVNULL, stderr=self._err or subprocess.PIPE)

    def exited_within(self, seconds):
        try:
            self.proc.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def alive(self):
        return self.proc.poll() is None

    def stop(self, timeout=5):
        stop_process(self.proc, timeout)
        if self._err:
            self._err.close()

    def log_file(self):
        path = os.path.join(self.folder, "MyLog.txt")
        return open(path, "rb").read().decode("utf-8", "replace") if os.path.exists(path) else ""


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def install_programs(test, folder, kestrane, verolux):
    """A program folder with report/ and copies of both programs; agents started from it are stopped
    when the test ends."""
    test.addCleanup(stop_agents, folder, 5)
    os.makedirs(os.path.join(folder, "report"))
    shutil.copy(kestrane, os.path.join(folder, "Kestrane"))
    shutil.copy(verolux, os.path.join(folder, "Verolux"))
