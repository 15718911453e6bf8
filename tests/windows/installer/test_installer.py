#!/usr/bin/python3
"""The Windows setup program under Wine, as IT runs it on a desktop: silent install with the company's
backend, the agent started from the Start menu entry, an upgrade over a running agent, silent uninstall
keeping the user's settings, and uninstall with /PURGE.

usage: test_installer.py DEPLOY SETUP
DEPLOY is the folder the setup was built from (its files are what must be installed). When it holds the
real programs, the started agent must answer a WebSocket handshake; with stand-ins (standin.c), the
stand-in's log must show the launcher and the agent running from the installed folder.
Environment: WINEPREFIX (a prefix this test may change; run.sh makes a throw-away copy).
"""
import glob
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from agentproc import free_port, read_ini, wait_for, wait_port  # noqa: E402
from backendproc import Backend  # noqa: E402

SOURCE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
DEMO_BACKEND = os.environ.get("VEROLUX_DEMO_BACKEND", os.path.join(SOURCE, "build", "dev", "bin",
                                                                   "verolux-demo-backend"))

WINE = "/usr/lib/wine/wine64"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Verolux"
DEPLOY = SETUP = None
PREFIX = os.environ.get("WINEPREFIX", "")
STANDIN = False


def wine(*args, env=None, timeout=300):
    """Runs a Windows program; its output through a file, since Wine's own services inherit pipes."""
    e = dict(os.environ, WINEDEBUG="-all")
    e.update(env or {})
    with tempfile.TemporaryFile() as out:
        r = subprocess.run([WINE, *args], env=e, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                           timeout=timeout)
        out.seek(0)
        r.stdout = out.read()
    return r


def reg_value(key, name):
    """The REG_SZ value, or None when the key or value is missing. Through an exported file: the
    console output of `reg query` loses what the console's code page cannot show."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "key.reg")
        if wine("reg", "export", key, "Z:" + out.replace("/", "\\"), "/y").returncode != 0:
            return None
        with open(out, encoding="utf-16") as f:
            text = f.read()
    prefix = '"%s"="' % name
    for line in text.splitlines():
        if line.startswith(prefix) and line.endswith('"'):
            return re.sub(r'\\(.)', r'\1', line[len(prefix):-1])
    return None


def unix_path(windows_path):
    r = wine("winepath", "-u", windows_path)
    return r.stdout.decode().strip()


def prefix_processes(needle):
    """Pids of this prefix's Wine processes whose command line contains needle (case ignored)."""
    pids = []
    for proc in glob.glob("/proc/[0-9]*"):
        try:
            with open(proc + "/environ", "rb") as f:
                if f"WINEPREFIX={PREFIX}\0".encode() not in f.read() + b"\0":
                    continue
            with open(proc + "/cmdline", "rb") as f:
                cmd = f.read().decode("utf-8", "replace")
        except OSError:
            continue
        if needle.lower() in cmd.lower():
            pids.append(int(proc[6:]))
    return pids


def deploy_files():
    return sorted(os.path.relpath(os.path.join(d, f), DEPLOY) for d, _, fs in os.walk(DEPLOY) for f in fs)


def handshake(port):
    """True when the agent on port answers a WebSocket opening handshake with 101."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
                      b"Origin: http://127.0.0.1\r\n\r\n")
            answer = b""
            while b"\r\n\r\n" not in answer:
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
            return answer.startswith(b"HTTP/1.1 101")
    except OSError:
        return False


class InstallerTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="wininst-test-")
        self.addCleanup(shutil.rmtree, self.work, True)
        # IT's share: the setup with the company's settings beside it.
        self.share = os.path.join(self.work, "share")
        os.makedirs(self.share)
        self.setup = os.path.join(self.share, os.path.basename(SETUP))
        shutil.copy(SETUP, self.setup)
        self.log = os.path.join(self.work, "standin.log")
        self.port = free_port()
        # A backend that refuses at once: the programs' update checks must not wait on the network.
        self.backend = "http://127.0.0.1:%d" % free_port()
        self.env = {"VEROLUX_STANDIN_LOG": "Z:" + self.log.replace("/", "\\"), "VEROLUX_PORT": str(self.port)}
        self.addCleanup(self.end_agents)
        self.addCleanup(self.purge)
        self.user = os.environ.get("USER") or "root"
        self.local = unix_path(r"C:\users\%s\AppData\Local" % self.user)
        self.menu = unix_path(r"C:\users\%s\AppData\Roaming\Microsoft\Windows\Start Menu\Programs" % self.user)

    def end_agents(self):
        open(self.log + ".quit", "w").close()
        for pid in prefix_processes("\\Verolux.exe"):
            try:
                os.kill(pid, 9)
            except OSError:
                pass

    def purge(self):
        """What a failed test left installed goes, so the next test starts from nothing."""
        installed = reg_value(UNINSTALL_KEY, "InstallLocation")
        if installed:
            wine(installed + r"\Uninstall.exe", "/S", "/PURGE")
            self.wait_uninstalled()

    def install(self, *args):
        return wine(self.setup, "/S", *args, env=self.env).returncode

    def start_from_menu(self):
        """Opens the Start menu entry, as the person at the desktop does."""
        lnk = os.path.join(self.menu, "Verolux.lnk")
        self.assertEqual(wine("start", "/unix", lnk, env=self.env).returncode, 0)

    def agent_started(self, count):
        """The count-th start of the agent from the installed folder has happened and answers."""
        if STANDIN:
            def started():
                if not os.path.exists(self.log):
                    return 0
                with open(self.log, encoding="utf-8") as f:
                    return f.read().count("Verolux.exe " + self.windir + "\\Verolux.exe\n")
            return wait_for(lambda: started() >= count, 30)
        return wait_port(self.port, 60) and handshake(self.port)

    def wait_uninstalled(self):
        """The uninstaller copies itself to %TEMP% and returns at once: wait for that copy to end."""
        self.assertTrue(wait_for(lambda: not prefix_processes("\\~nsu"), 60, 0.2))

    def test_folder_with_chinese_name(self):
        """A folder chosen with /D=, under a Chinese name: programs, Run value and settings are there,
        the agent starts from it, and /PURGE removes it with what the agent wrote (a folder not named
        Verolux is not removed whole: the uninstaller deletes what is ours by name)."""
        self.windir = r"C:\users\%s\AppData\Local\报表\维罗勒克斯" % self.user
        folder = os.path.join(self.local, "报表", "维罗勒克斯")
        self.assertEqual(self.install("/WEBSURL=%s" % self.backend, "/D=" + self.windir), 0)
        self.assertEqual(reg_value(UNINSTALL_KEY, "InstallLocation"), self.windir)
        self.assertEqual(reg_value(RUN_KEY, "Verolux"), '"%s\\Kestrane.exe"' % self.windir)
        self.assertTrue(os.path.isfile(os.path.join(folder, "Verolux.exe")))
        self.assertEqual(read_ini(folder)["AppInfo"]["WebsUrl"], self.backend)
        # Wine opens a shortcut by its ANSI path, which cannot hold this name in Wine's code page here
        # (Windows resolves the item list, in Unicode): the shortcut must hold the Unicode names, and
        # the agent is started as at login, by the Run value's command.
        with open(os.path.join(self.menu, "Verolux.lnk"), "rb") as f:
            lnk = f.read()
        self.assertIn(self.windir.encode("utf-16-le"), lnk)  # its working folder
        self.assertIn("Kestrane.exe".encode("utf-16-le"), lnk)
        self.assertEqual(wine(reg_value(RUN_KEY, "Verolux").strip('"'), env=self.env).returncode, 0)
        self.assertTrue(self.agent_started(1))
        os.makedirs(os.path.join(folder, "recovery"), exist_ok=True)
        for name in ("history.jsonl", os.path.join("recovery", "a.grf")):
            with open(os.path.join(folder, name), "w") as f:
                f.write("x")
        self.assertEqual(wine(self.windir + r"\Uninstall.exe", "/S", "/PURGE").returncode, 0)
        self.wait_uninstalled()
        self.assertFalse(os.path.exists(folder), os.listdir(folder) if os.path.exists(folder) else "")
        self.assertIsNone(reg_value(RUN_KEY, "Verolux"))

    def test_launcher_updates_the_agent_in_the_installed_folder(self):
        """The launcher started from the Start menu fetches a newer agent from the backend into the
        installed folder and starts it; the uninstaller removes the fetched program too."""
        if STANDIN:
            self.skipTest("the stand-in launcher fetches nothing")
        if not os.access(DEMO_BACKEND, os.X_OK):
            self.skipTest("no demo backend at %s (build the dev preset's verolux-demo-backend)" % DEMO_BACKEND)
        backend = Backend(DEMO_BACKEND, os.path.join(self.work, "backend"), templates=None)
        self.addCleanup(backend.stop)
        with open(os.path.join(DEPLOY, "Verolux.exe"), "rb") as f:
            release = f.read() + b"\0newer agent\0"  # still the same program: the overlay is not loaded
        with open(os.path.join(backend.releases, "Verolux.exe"), "wb") as f:
            f.write(release)
        with open(os.path.join(backend.releases, "latest-1.json"), "w") as f:
            f.write('{"ver":"9.9.9","url":"${BASE}/releases/Verolux.exe","file":"Verolux.exe"}')

        self.assertEqual(self.install("/WEBSURL=" + backend.base), 0)
        self.windir = reg_value(UNINSTALL_KEY, "InstallLocation")
        folder = unix_path(self.windir)
        self.start_from_menu()
        self.assertTrue(self.agent_started(1))
        self.assertEqual(backend.stats()["releaseDownloads"].get("Verolux.exe"), 1)
        with open(os.path.join(folder, "Verolux.exe"), "rb") as f:
            self.assertEqual(f.read(), release)
        self.assertEqual(wine(self.windir + r"\Uninstall.exe", "/S").returncode, 0)
        self.wait_uninstalled()
        self.assertFalse(os.path.exists(os.path.join(folder, "Verolux.exe")))

    def test_install_start_upgrade_uninstall_purge(self):
        # The company's settings file beside the setup; /WEBSURL wins over its WebsUrl.
        with open(os.path.join(self.share, "verolux.ini"), "wb") as f:
            f.write("; company defaults\r\n[AppInfo]\r\nWebsUrl=https://file.example.com\r\nUpdateKey=k1\r\n"
                    "[Verolux]\r\nNote=报表\r\n".encode("utf-8"))

        # A backend that is no http(s) URL stops the setup before it changes anything.
        self.assertEqual(self.install("/WEBSURL=ftp://erp.example.com"), 4)
        self.assertIsNone(reg_value(UNINSTALL_KEY, "InstallLocation"))

        self.assertEqual(self.install("/WEBSURL=%s/" % self.backend), 0)
        self.windir = reg_value(UNINSTALL_KEY, "InstallLocation")
        self.assertTrue(self.windir.lower().endswith(r"\appdata\local\verolux"), self.windir)
        folder = unix_path(self.windir)
        installed = sorted(os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder)
                           for f in fs)
        self.assertEqual(installed, sorted(deploy_files() + ["MyIni.ini", "Uninstall.exe"]))
        for name in deploy_files():
            self.assertEqual(os.path.getsize(os.path.join(folder, name)), os.path.getsize(os.path.join(DEPLOY, name)))
        menu = self.menu
        for lnk in ("Verolux.lnk", "Verolux Designer.lnk"):
            self.assertTrue(os.path.isfile(os.path.join(menu, lnk)), lnk)
        self.assertEqual(reg_value(RUN_KEY, "Verolux"), '"%s\\Kestrane.exe"' % self.windir)
        self.assertEqual(reg_value(UNINSTALL_KEY, "QuietUninstallString"), '"%s\\Uninstall.exe" /S' % self.windir)
        ini_path = os.path.join(folder, "MyIni.ini")
        with open(ini_path, "rb") as f:
            ini = f.read()
        version = reg_value(UNINSTALL_KEY, "DisplayVersion")
        self.assertEqual(ini, ("[AppInfo]\r\nPrintVer=%s\r\nShellVer=%s\r\nWebsUrl=%s\r\n"
                               "UpdateKey=k1\r\n[Verolux]\r\nNote=报表\r\n" % (version, version, self.backend))
                         .encode("utf-8"))

        # The launcher from the Start menu starts the agent from the installed folder.
        self.start_from_menu()
        self.assertTrue(self.agent_started(1))
        running = prefix_processes("\\Verolux.exe")
        self.assertTrue(running)

        # The user's own settings and templates; autostart switched off in the agent's menu.
        with open(ini_path, "ab") as f:
            f.write(b"[fileUrl]\r\na.grf=https://erp.example.com/t/a.grf\r\n")

        def assert_users_settings_kept():
            ini = read_ini(folder)
            self.assertEqual(ini["fileUrl"]["a.grf"], "https://erp.example.com/t/a.grf")
            self.assertEqual(ini["AppInfo"]["WebsUrl"], self.backend)
            self.assertEqual(ini["AppInfo"]["UpdateKey"], "k1")
            self.assertEqual(ini["Verolux"]["Note"], "报表")
            with open(os.path.join(folder, "report", "a.grf"), "rb") as f:
                self.assertEqual(f.read(), b"template")

        os.makedirs(os.path.join(folder, "report"), exist_ok=True)
        with open(os.path.join(folder, "report", "a.grf"), "wb") as f:
            f.write(b"template")
        self.assertEqual(wine("reg", "delete", RUN_KEY, "/v", "Verolux", "/f").returncode, 0)
        # Upgrade over the running agent (no settings given this time): the agent is ended, the
        # programs replaced and the agent started again; the user's settings and choice stay.
        os.remove(os.path.join(self.share, "verolux.ini"))
        self.assertEqual(self.install(), 0)
        self.assertTrue(wait_for(lambda: not any(p in running for p in prefix_processes("\\Verolux.exe")), 10))
        self.assertTrue(self.agent_started(2))
        assert_users_settings_kept()
        self.assertEqual(read_ini(folder)["AppInfo"]["PrintVer"], version)
        self.assertIsNone(reg_value(RUN_KEY, "Verolux"))
        self.assertEqual(wine("reg", "add", RUN_KEY, "/v", "Verolux", "/d", '"%s\\Kestrane.exe"' % self.windir,
                              "/f").returncode, 0)

        # Silent uninstall, with the agent running: programs, menu entries and Run value go; the
        # settings and templates stay.
        self.assertEqual(wine(self.windir + r"\Uninstall.exe", "/S").returncode, 0)
        self.wait_uninstalled()
        self.assertFalse(prefix_processes("\\Verolux.exe"))
        left = set(os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs)
        self.assertEqual(left & set(deploy_files() + ["Uninstall.exe"]), set())
        self.assertFalse(os.path.exists(os.path.join(folder, "platforms")))
        assert_users_settings_kept()
        for lnk in ("Verolux.lnk", "Verolux Designer.lnk"):
            self.assertFalse(os.path.exists(os.path.join(menu, lnk)), lnk)
        self.assertIsNone(reg_value(RUN_KEY, "Verolux"))
        self.assertIsNone(reg_value(UNINSTALL_KEY, "InstallLocation"))

        # Installed again over the kept settings, then uninstalled with /PURGE: nothing stays.
        self.assertEqual(self.install(), 0)
        assert_users_settings_kept()
        self.assertEqual(wine(self.windir + r"\Uninstall.exe", "/S", "/PURGE").returncode, 0)
        self.wait_uninstalled()
        self.assertFalse(os.path.exists(folder))
        self.assertIsNone(reg_value(UNINSTALL_KEY, "InstallLocation"))


if __name__ == "__main__":
    if len(sys.argv) < 3 or not PREFIX:
        sys.exit(__doc__)
    DEPLOY, SETUP = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with open(os.path.join(DEPLOY, "Kestrane.exe"), "rb") as program:
        STANDIN = b"VEROLUX_STANDIN_LOG" in program.read().replace(b"\0", b"")
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
