"""The Debian package from build to removal: contents, metadata and lintian; then installed, the
starter run for a new user (temporary HOME and XDG_DATA_HOME, offscreen) with the demo backend as the
administrator's backend: the program folder, the agent on port 28502 answering a WebSocket print
request, a second start that copies nothing, a newer agent left in place; then removed.

Runs as root in a network namespace of its own (port 28502 may be taken by a running agent), under a
machine-wide lock (the package is installed system-wide). Skips when not root."""
import argparse
import fcntl
import filecmp
import glob
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from agentproc import agent_pids, read_ini, stop_agents, wait_port  # noqa: E402
from backendproc import SOURCE_DIR, Backend  # noqa: E402

ARGS = None
SKIP = 77
PORT = 28502
LIB = "/usr/lib/verolux"
DEFAULTS = "/etc/verolux/verolux.ini"
AUTOSTART = "/etc/xdg/autostart/verolux.desktop"
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=600"]


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def designer_built():
    return os.path.exists(os.path.join(ARGS.bin, "verolux-designer"))


def expected_files():
    """Every file the package must hold, without the leading "."."""
    programs = ["Verolux", "Kestrane", "verolux-render"] + (["verolux-designer"] if designer_built() else [])
    icons = ["verolux"] + (["verolux-designer"] if designer_built() else [])
    files = ["%s/%s" % (LIB, p) for p in programs]
    files += ["/usr/bin/verolux", "/usr/share/applications/verolux.desktop", AUTOSTART, DEFAULTS,
              "/usr/share/doc/verolux/copyright", "/usr/share/doc/verolux/changelog.gz",
              "/usr/share/doc/verolux/administration.md", "/usr/share/lintian/overrides/verolux",
              "/usr/share/man/man1/verolux.1.gz"]
    if designer_built():
        files.append("/usr/share/applications/verolux-designer.desktop")
    for icon in icons:
        files.append("/usr/share/icons/hicolor/scalable/apps/%s.svg" % icon)
        files += ["/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, icon) for s in SIZES]
    return programs, files


def installed_state():
    out = subprocess.run(["dpkg-query", "-W", "-f=${db:Status-Status}", "verolux"], capture_output=True, text=True)
    return out.stdout.strip() if out.returncode == 0 else "not-installed"


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="verolux-package-")
        built = subprocess.run(["cpack", "--config", ARGS.cpack_config, "-B", cls.work], capture_output=True,
                               text=True)
        if built.returncode != 0:
            raise RuntimeError("cpack failed:\n" + built.stdout + built.stderr)
        debs = glob.glob(os.path.join(cls.work, "*.deb"))
        if len(debs) != 1:
            raise RuntimeError("cpack wrote %r" % debs)
        cls.deb = debs[0]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_contents_and_metadata(self):
        listing = subprocess.run(["dpkg-deb", "-c", self.deb], capture_output=True, text=True, check=True).stdout
        entries = {f[5].lstrip("."): (f[0], f[1]) for f in map(str.split, listing.splitlines())}
        programs, files = expected_files()
        for path in files:
            with self.subTest(path=path):
                self.assertIn(path, entries)
                self.assertEqual(entries[path][1], "root/root")
        for path in ["%s/%s" % (LIB, p) for p in programs] + ["/usr/bin/verolux"]:
            self.assertEqual(entries[path][0], "-rwxr-xr-x", path)
        arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True).stdout.strip()
        self.assertEqual(os.path.basename(self.deb), "verolux_%s_%s.deb" % (ARGS.version, arch))
        # Only the programs: the demo backend and the tests stay out.
        self.assertEqual(sorted(p for p in entries if p.startswith(LIB + "/") and p != LIB + "/"),
                         sorted("%s/%s" % (LIB, p) for p in programs))

        info = subprocess.run(["dpkg-deb", "-I", self.deb], capture_output=True, text=True, check=True).stdout
        fields = dict((part.strip() for part in line.split(":", 1)) for line in info.splitlines()
                      if line.startswith(" ") and ":" in line and not line.startswith("  "))
        self.assertEqual(fields["Package"], "verolux")
        self.assertEqual(fields["Version"], ARGS.version)
        self.assertEqual(fields["Architecture"], arch)
        depends = [d.strip() for d in fields["Depends"].split(",")]
        self.assertIn("fonts-noto-cjk | fonts-wqy-microhei", depends)
        # From the binaries (shlibdeps), with versions; each package named once.
        for library in ("libqt6widgets6", "libqt6printsupport6", "libcurl4", "libc6", "libcups2"):
            self.assertTrue(any(d.startswith(library + " (>=") for d in depends), (library, depends))
        names = [re.split(r"[ (]", alternative.strip())[0] for d in depends for alternative in d.split("|")]
        self.assertEqual(sorted(set(names)), sorted(names), "a package named twice in Depends")
        control = os.path.join(self.work, "control")
        subprocess.run(["dpkg-deb", "-e", self.deb, control], check=True)
        self.assertEqual(read(os.path.join(control, "conffiles")).split(), [DEFAULTS, AUTOSTART])

    def test_lintian_is_clean(self):
        checked = subprocess.run(["lintian", "--pedantic", "-EI", "--fail-on", "none", self.deb], capture_output=True,
                                 text=True)
        print(checked.stdout, end="")
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        tags = re.findall(r"^[EWIPX]: verolux[^:]*: (\S+)", checked.stdout, re.MULTILINE)
        # Only the release build is hardened (cmake/VeroluxTargets.cmake); a package of another is not.
        if ARGS.build_type != "Release":
            tags = [t for t in tags if not t.startswith("hardening-")]
        self.assertEqual(tags, [], checked.stdout)

    def test_installed_for_a_new_user_then_removed(self):
        if installed_state() != "not-installed":  # a run that was cut short
            subprocess.run(APT + ["purge", "verolux"], check=True, capture_output=True)
        self.addCleanup(lambda: subprocess.run(APT + ["purge", "verolux"], capture_output=True))
        subprocess.run(APT + ["install", "--no-install-recommends", "-o", "Dpkg::Options::=--force-confnew",
                              self.deb], check=True, capture_output=True)
        self.assertEqual(installed_state(), "installed")
        version = subprocess.run(["/usr/bin/verolux", "--version"], capture_output=True, text=True)
        self.assertEqual((version.returncode, version.stdout), (0, "verolux %s\n" % ARGS.version))

        backend = Backend(ARGS.backend, os.path.join(self.work, "backend"))
        self.addCleanup(backend.stop)
        # The administrator points every new user at the company's backend.
        with open(DEFAULTS, "w") as f:
            f.write("[AppInfo]\nWebsUrl=%s\n" % backend.base)

        home = os.path.join(self.work, "home")
        data = os.path.join(self.work, "data")
        folder = os.path.join(data, "verolux")
        os.makedirs(home)
        self.addCleanup(stop_agents, folder)
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "VEROLUX_HOME", "VEROLUX_PORT")}
        env.update(HOME=home, XDG_DATA_HOME=data, QT_QPA_PLATFORM="offscreen")

        def start():
            done = subprocess.run(["/usr/bin/verolux"], env=env, capture_output=True, text=True, timeout=60)
            self.assertEqual(done.returncode, 0, done.stderr)
            return done.stderr

        # A new user: the folder is made, both programs copied, the administrator's backend set.
        said = start()
        self.assertIn("Verolux %s copied" % ARGS.version, said)
        self.assertIn("Kestrane %s copied" % ARGS.version, said)
        self.assertTrue(os.path.isdir(os.path.join(folder, "report")))
        for program in ("Verolux", "Kestrane"):
            self.assertTrue(filecmp.cmp(os.path.join(LIB, program), os.path.join(folder, program), shallow=False))
        self.assertEqual(read_ini(folder)["AppInfo"]["WebsUrl"], backend.base)
        self.assertTrue(wait_port(PORT, 30), "the agent listens on %d" % PORT)

        # A page's request: exported to PDF and uploaded to the backend.
        sent = subprocess.run(["/usr/bin/python3", os.path.join(SOURCE_DIR, "demo", "send-request.py"),
                               os.path.join(SOURCE_DIR, "demo", "requests", "orders.json"),
                               "--agent", "ws://127.0.0.1:%d" % PORT, "--backend", backend.base,
                               "--report-id", "package-orders", "--wait", "1"],
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(sent.returncode, 0, sent.stderr)
        self.assertNotIn("agent replied", sent.stdout)
        self.assertTrue(backend.wait_upload("package-orders", 60), "the PDF reached the backend")
        self.assertTrue(read(backend.uploaded_file("package-orders"), "rb").startswith(b"%PDF-"))

        # The next login: nothing copied, the running agent left alone.
        before = {p: os.stat(os.path.join(folder, p)) for p in ("Verolux", "Kestrane")}
        running = agent_pids(folder)
        self.assertEqual(len(running), 1)
        said = start()
        self.assertNotIn("copied", said)
        # The starter asks the running agent to show its window, as a second start of the agent does.
        self.assertIn("Verolux already runs from this folder; its window is shown", said)
        for p, st in before.items():
            now = os.stat(os.path.join(folder, p))
            self.assertEqual((now.st_ino, now.st_mtime_ns), (st.st_ino, st.st_mtime_ns), p)
        self.assertEqual(agent_pids(folder), running)

        # Whatever the user's folder holds: a newer agent (fetched by the launcher) stays; an older
        # one, or one that cannot tell its version, is replaced by the installed one.
        for row, version, kept in (("newer", "99.0.0", True), ("older", "0.9.9", False), ("silent", None, False)):
            with self.subTest(row=row):
                stop_agents(folder)
                stand_in = "#!/bin/sh\n" + ('[ "$1" = --version ] && echo "Verolux %s"\n' % version
                                            if version else "") + "exit 0\n"
                agent = os.path.join(folder, "Verolux")
                os.remove(agent)
                with open(agent, "w") as f:
                    f.write(stand_in)
                os.chmod(agent, 0o755)
                said = start()
                if kept:
                    self.assertEqual(read(agent), stand_in)
                    self.assertNotIn("copied", said)
                else:
                    self.assertTrue(filecmp.cmp(os.path.join(LIB, "Verolux"), agent, shallow=False))
                    self.assertIn("Verolux %s copied" % ARGS.version, said)
                    self.assertNotIn("Kestrane", said)
        stop_agents(folder)

        # Removed: programs and entries go, the user's folder stays; purged: the administrator's too.
        subprocess.run(APT + ["remove", "verolux"], check=True, capture_output=True)
        _, files = expected_files()
        for path in files:
            if path not in (DEFAULTS, AUTOSTART):
                self.assertFalse(os.path.exists(path), path)
        self.assertFalse(os.path.exists(LIB))
        # The autostart entry is a conffile kept until purge; its TryExec makes it inert meanwhile.
        self.assertIn("TryExec=verolux\n", read(AUTOSTART))
        for kept in ("MyIni.ini", "Verolux", "Kestrane", "report"):
            self.assertTrue(os.path.exists(os.path.join(folder, kept)), kept)
        subprocess.run(APT + ["purge", "verolux"], check=True, capture_output=True)
        self.assertFalse(os.path.exists(AUTOSTART))
        self.assertFalse(os.path.exists(os.path.dirname(DEFAULTS)))
        self.assertEqual(installed_state(), "not-installed")


def in_own_network(argv):
    """Runs argv in a new network namespace with only loopback up; its exit code, or None when no
    namespace can be made here."""
    name = "vxpkg%d" % os.getpid()
    if subprocess.run(["ip", "netns", "add", name], capture_output=True).returncode != 0:
        return None
    try:
        subprocess.run(["ip", "netns", "exec", name, "ip", "link", "set", "lo", "up"], check=True)
        return subprocess.run(["ip", "netns", "exec", name] + argv,
                              env=dict(os.environ, VEROLUX_PACKAGE_TEST_INSIDE="1")).returncode
    finally:
        subprocess.run(["ip", "netns", "del", name])


def port_taken(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cpack-config", required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--backend", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--build-type", default="")
    ARGS, rest = parser.parse_known_args()
    if os.geteuid() != 0 or not shutil.which("dpkg"):
        print("skipped: needs root and dpkg")
        return SKIP
    if os.environ.get("VEROLUX_PACKAGE_TEST_INSIDE"):
        return run_tests(rest)
    with open("/tmp/verolux-package.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if shutil.which("ip"):
            code = in_own_network([sys.executable] + sys.argv)
            if code is not None:
                return code
        if port_taken(PORT):
            print("skipped: port %d is taken and no network namespace can be made" % PORT)
            return SKIP
        return run_tests(rest)


def run_tests(argv):
    program = unittest.main(argv=[sys.argv[0]] + argv, verbosity=2, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
