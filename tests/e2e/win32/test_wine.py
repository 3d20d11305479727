"""The Windows updater end to end: the real Updater.exe under wine, on a
private X server with a window manager, against the reference update service
on loopback, with a stand-in "Norvane.exe" (a window that ends on WM_CLOSE).

Run by ctest, one test per entry; the paths come from the environment that
tests/e2e/win32/CMakeLists.txt sets.
"""
import os
import shutil
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from gui_session import Session, wait_for  # noqa: E402
from test_updater import BAR_LEFT_END, publish  # noqa: E402

WINE_RUN = os.environ.get("WINE_RUN", "")
UPDATER = os.environ.get("UPDATER_EXE", "")
NORVANE = os.environ.get("NORVANE_EXE", "")
SERVICE = os.environ.get("UPDATE_SERVICE", "")
SCREENSHOT = os.environ.get("SCREENSHOT", "")


class WineSession(Session):
    """A session whose programs are Windows programs, run by the build's wine."""

    def start_updater(self, binary=UPDATER, minimised=False):
        self.out = open(os.path.join(self.dir, "updater.log"), "wb")
        # "start /min /wait" hands the program a minimised show command and
        # ends with its exit code.
        argv = [WINE_RUN, "start", "/wait", "/min", "Z:" + binary.replace("/", "\\")] if minimised \
            else [WINE_RUN, binary]
        self.updater = subprocess.Popen(argv, cwd=self.folder, env=self.env, stdout=self.out,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        return self.updater

    def minimised(self, window):
        r = subprocess.run(["xprop", "-id", str(window), "WM_STATE"], env=self.env, capture_output=True, text=True)
        return "Iconic" in r.stdout

    def start_main_program(self):
        """The installed main program, started from the program folder."""
        shutil.copy(NORVANE, os.path.join(self.folder, "Norvane.exe"))
        p = subprocess.Popen([WINE_RUN, "Norvane.exe"], cwd=self.folder, env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        self.processes.append(p)
        return p, self.wait_window("^Norvane$")

    def window_pid(self, window):
        r = subprocess.run(["xdotool", "getwindowpid", str(window)], env=self.env, capture_output=True, text=True)
        return int(r.stdout) if r.stdout.strip() else None


class WineUpdaterTest(unittest.TestCase):
    def setUp(self):
        self.s = WineSession()

    def tearDown(self):
        self.s.close()

    def serve(self, version, files, rate=0):
        releases = os.path.join(self.s.dir, "releases")
        publish(releases, version, files)
        return self.s.start_service(SERVICE, releases, rate)

    def test_no_update_says_so_and_ends_with_2(self):
        port = self.serve("1.0", {"readme.txt": b"release 1.0"})
        self.s.write_config(f"127.0.0.1:{port}", suffix="", version="1.0")
        self.s.start_updater()
        main = self.s.wait_window("^Updater$")
        box = self.s.wait_window("^提示$")
        self.assertEqual(self.s.colours(main, *BAR_LEFT_END), 1, "the progress bar is drawn")
        self.s.key(box, "Return")
        self.assertEqual(self.s.wait_exit(), 2)
        self.assertFalse(os.path.exists(os.path.join(self.s.folder, "download")))

    def test_minimised_start_still_checks_and_ends_with_2(self):
        port = self.serve("1.0", {"readme.txt": b"release 1.0"})
        self.s.write_config(f"127.0.0.1:{port}", suffix="", version="1.0")
        self.s.start_updater(minimised=True)
        box = self.s.wait_window("^提示$")
        main = wait_for("the main window", lambda: next(iter(
            subprocess.run(["xdotool", "search", "--name", "^Updater$"], env=self.s.env, capture_output=True,
                           text=True).stdout.split()), None))
        self.assertTrue(self.s.minimised(main), "the main window should start minimised")
        self.s.key(box, "Return")
        self.assertEqual(self.s.wait_exit(), 2)

    def test_configuration_error_ends_with_0_before_any_window(self):
        # The keys in another letter case are no keys.
        self.s.write("update.cfg", "[SERVER]\nmsg_server_host=127.0.0.1:9\nmsg_server_suffix=\n"
                                   "[VERSION]\nLOCAL_VERSION=1.0\n")
        self.s.start_updater()
        box = self.s.wait_window("^错误$")
        self.assertEqual(self.s.windows("^Updater$"), [], "the main window was shown")
        self.s.key(box, "Return")
        self.assertEqual(self.s.wait_exit(), 0)

    def test_full_update_installs_records_and_restarts_the_main_program(self):
        with open(NORVANE, "rb") as f:
            new_main = f.read()
        files = {"Norvane.exe": new_main, "data/assets.bin": os.urandom(256 * 1024),
                 "readme.txt": b"Norvane 1.2.0\n"}
        # Slow enough that the download is seen under way.
        port = self.serve("1.2.0", files, rate=128 * 1024)
        self.s.write_config(f"127.0.0.1:{port}", suffix="", version="1.0")
        self.s.write("readme.txt", b"Norvane 1.0\n")
        old, _ = self.s.start_main_program()

        self.s.start_updater()
        main = self.s.wait_window("^Updater$")
        wait_for("the progress bar", lambda: self.s.colours(main, *BAR_LEFT_END) > 1)
        if SCREENSHOT:
            subprocess.run(["import", "-frame", "-window", str(main), SCREENSHOT], env=self.s.env,
                           capture_output=True, timeout=120)
        hint = self.s.wait_window("^Dialog$")
        self.s.key(hint, "Return")

        question = self.s.wait_window("^提示$")
        # Before the question: the running main program was asked to close
        # (and ended by itself, with its own exit code), the files are in
        # place and the new version is recorded.
        self.assertEqual(old.wait(timeout=120), 7)
        for name, data in files.items():
            self.assertEqual(self.s.read(name), data, name)
        self.assertEqual(self.s.read("download/1.2.0/norvane-1.2.0.zip"),
                         self.s.read("norvane-1.2.0.zip"), "the package is installed beside the files")
        self.assertIn("LOCAL_VERSION=1.2.0", self.s.read("update.cfg").decode())

        self.s.key(question, "Return")  # 是, the default
        self.assertEqual(self.s.wait_exit(), 2)
        # The main program was opened again through the shell.
        restarted = self.s.wait_window("^Norvane$")
        pid = self.s.window_pid(restarted)
        self.assertNotEqual(pid, old.pid)
        if pid:
            os.kill(pid, signal.SIGKILL)


if __name__ == "__main__":
    unittest.main()
