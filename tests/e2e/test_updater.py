"""The updater end to end: the real program, window system, service and files.

Run by ctest, one test per entry; the paths come from the environment that
tests/e2e/CMakeLists.txt sets.
"""
import os
import re
import unittest
import zipfile

from gui_session import Session, wait_for

UPDATER = os.environ.get("UPDATER_BIN", "")
SERVICE = os.environ.get("UPDATE_SERVICE", "")
SAMPLE_OLD = os.environ.get("SAMPLE_MAIN_OLD", "")
SAMPLE_NEW = os.environ.get("SAMPLE_MAIN_NEW", "")
LSAN = os.environ.get("LSAN_SUPPRESSIONS", "")

# Where the progress bar sits in the main window, as fractions of its client
# area (template 129: 318 x 121 dialog units). Its left end is never under a
# box, which sits in the middle; a hidden bar leaves it one plain colour.
BAR_LEFT_END = (25 / 318, 92 / 121, 55 / 318, 106 / 121)


def publish(folder, version, files):
    """A release of `files` (name -> bytes) for the reference service."""
    os.makedirs(folder, exist_ok=True)
    package = f"norvane-{version}.zip"
    with zipfile.ZipFile(os.path.join(folder, package), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            info = zipfile.ZipInfo(name, date_time=(2024, 5, 1, 12, 0, 0))
            info.external_attr = (0o755 << 16) if name.endswith(".exe") else (0o644 << 16)
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    with open(os.path.join(folder, "release.json"), "w") as f:
        f.write('{"version": "%s", "package": "%s", "time": "2024-05-01", "content": "e2e"}' % (version, package))


class UpdaterTest(unittest.TestCase):
    def setUp(self):
        self.s = Session(lsan_suppressions=LSAN)

    def tearDown(self):
        self.s.close()

    def assertCleanRun(self):
        log = self.s.log()
        self.assertNotRegex(log, r"ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:", log)

    def serve(self, version, files=None, rate=0):
        releases = os.path.join(self.s.dir, "releases")
        publish(releases, version, files or {"readme.txt": b"release " + version.encode()})
        return self.s.start_service(SERVICE, releases, rate)

    def main_window(self):
        return self.s.wait_window("^Updater$")

    def assertNothingShown(self, window, part, what):
        self.assertEqual(self.s.colours(window, *part), 1, f"the {what} is drawn")

    # --- no update ----------------------------------------------------------

    def test_no_update_says_so_and_ends_with_2(self):
        port = self.serve("1.0")
        self.s.write_config(f"127.0.0.1:{port}", version="1.0")
        self.s.start_updater(UPDATER)
        main = self.main_window()
        box = self.s.wait_window("^提示$")
        self.assertNothingShown(main, BAR_LEFT_END, "progress bar")
        self.s.key(box, "Return")
        self.assertEqual(self.s.wait_exit(), 2)
        self.assertCleanRun()

    # --- configuration errors -------------------------------------------------

    def test_configuration_errors_end_with_0_before_any_window(self):
        cases = {
            "no file": None,
            "no VERSION section": "[SERVER]\nMSG_SERVER_HOST=127.0.0.1:9\nMSG_SERVER_SUFFIX=\n",
            "no suffix key": "[SERVER]\nMSG_SERVER_HOST=127.0.0.1:9\n[VERSION]\nLOCAL_VERSION=1.0\n",
        }
        for what, text in cases.items():
            with self.subTest(what):
                if text is None:
                    if os.path.exists(os.path.join(self.s.folder, "update.cfg")):
                        os.remove(os.path.join(self.s.folder, "update.cfg"))
                else:
                    self.s.write("update.cfg", text)
                self.s.start_updater(UPDATER)
                box = self.s.wait_window("^错误$")
                self.assertEqual(self.s.windows("^Updater$"), [], "the main window was shown")
                self.s.key(box, "Return")
                self.assertEqual(self.s.wait_exit(), 0)
                self.assertEqual(self.s.windows("^Updater$"), [])
                self.assertCleanRun()

    # --- a refused download folder --------------------------------------------

    def test_refused_download_folder_keeps_the_dialog_and_enter_asks_first(self):
        port = self.serve("1.1")
        # A program folder so deep that the version folder under it would pass
        # the path limit: the download folder is refused.
        self.s.folder = os.path.join(self.s.folder, "p" * 200, "q" * 60)
        os.makedirs(self.s.folder)
        self.s.write_config(f"127.0.0.1:{port}", version="1.0")
        self.s.start_updater(UPDATER)
        main = self.main_window()
        box = self.s.wait_window("^错误$")
        self.s.key(box, "Return")
        self.s.wait_gone(box)
        self.assertTrue(self.s.running(), "the dialog should stay open")
        self.assertNothingShown(main, BAR_LEFT_END, "progress bar")

        # The download counts as running, so Return asks before closing; No
        # leaves everything as it was, Yes ends with Return's code.
        self.s.key(main, "Return")
        question = self.s.wait_window("^提示$")
        self.s.key(question, "Tab")
        self.s.key(question, "Return")  # 否
        self.s.wait_gone(question)
        self.assertTrue(self.s.running())
        self.s.key(main, "Return")
        question = self.s.wait_window("^提示$")
        self.s.key(question, "Return")  # 是, the default
        self.assertEqual(self.s.wait_exit(), 1)
        self.assertCleanRun()


if __name__ == "__main__":
    unittest.main()


class FullUpdateTest(UpdaterTest):
    """A real package from the reference service over a running main program."""

    def publish_update(self, rate, package_bytes=None):
        with open(SAMPLE_NEW, "rb") as f:
            new_main = f.read()
        files = {"Norvane.exe": new_main, "data/assets.bin": os.urandom(256 * 1024), "readme.txt": b"Norvane 1.1\n"}
        releases = os.path.join(self.s.dir, "releases")
        publish(releases, "1.1", files)
        if package_bytes is not None:
            with open(os.path.join(releases, "norvane-1.1.zip"), "wb") as f:
                f.write(package_bytes)
        port = self.s.start_service(SERVICE, releases, rate)
        self.s.write_config(f"127.0.0.1:{port}", version="1.0")
        self.s.write("readme.txt", b"Norvane 1.0\n")
        with open(SAMPLE_OLD, "rb") as f:
            self.s.write("Norvane.exe", f.read(), 0o755)
        return files

    def start_old_main(self):
        self.old = self.s._spawn(["./Norvane.exe"], cwd=self.s.folder, start_new_session=True)
        self.s.wait_window("^Norvane$")

    def tearDown(self):
        for pid in self.s.started_pids("1.1"):
            try:
                os.kill(pid, 15)
            except OSError:
                pass
        super().tearDown()

    def bar_is_full(self, main):
        # Both ends of the bar's inside carry the fill; a hidden or partly
        # filled bar shows the background or the trough at its right end.
        y = 99 / 121
        left, right = self.s.pixel(main, 28 / 318, y), self.s.pixel(main, 286 / 318, y)
        background = self.s.pixel(main, 5 / 318, 5 / 121)
        return left == right and left != background

    def update_through(self, confirm_key, restart_key):
        files = self.publish_update(rate=256 * 1024)
        self.start_old_main()
        self.s.start_updater(UPDATER)
        main = self.main_window()
        wait_for("the progress bar", lambda: self.s.colours(main, *BAR_LEFT_END) > 1)
        hint = self.s.wait_window("^Dialog$")
        self.assertTrue(self.bar_is_full(main), "the bar should be full once the package is in")
        self.s.key(hint, confirm_key)
        question = self.s.wait_window("^提示$")
        # Before the question: the old main program asked to close (and it
        # did, by itself), the files in place, the new version recorded.
        self.assertEqual(self.old.wait(timeout=60), 0)
        self.assertIn("closed 1.0", self.s.read("norvane.log").decode())
        for name, data in files.items():
            self.assertEqual(self.s.read(name), data, name)
        self.assertIn("LOCAL_VERSION=1.1", self.s.read("update.cfg").decode())
        self.s.key(question, restart_key)
        self.assertEqual(self.s.wait_exit(), 2)
        self.assertCleanRun()

    def test_full_update_installs_and_restarts_the_main_program(self):
        self.update_through("Return", "Return")  # OK; 是
        self.s.wait_window("^Norvane$")
        wait_for("the new main program's start", lambda: self.s.started_pids("1.1"))

    def test_escape_in_the_confirmation_proceeds_like_ok(self):
        self.update_through("Escape", "Tab Return")  # Escape; 否
        # No restart was asked for.
        self.assertEqual(self.s.started_pids("1.1"), [])

    def test_unpack_failure_inside_the_confirmation_ends_with_2(self):
        # A package that downloads but is no zip archive: the failure box opens
        # inside the confirmation dialog, and its close request must wait until
        # that dialog (and the worker's report) are done, or the close would
        # wait for the worker for ever.
        self.publish_update(rate=0, package_bytes=b"not a zip archive" * 1000)
        self.start_old_main()
        self.s.start_updater(UPDATER)
        hint = self.s.wait_window("^Dialog$")
        self.s.key(hint, "Return")
        box = self.s.wait_window("^错误$")
        self.s.key(box, "Return")
        self.assertEqual(self.s.wait_exit(), 2)
        # Nothing was touched: the main program runs, the version is the old one.
        self.assertIsNone(self.old.poll())
        self.assertIn("LOCAL_VERSION=1.0", self.s.read("update.cfg").decode())
        with open(SAMPLE_OLD, "rb") as f:
            self.assertEqual(self.s.read("Norvane.exe"), f.read())
        self.assertCleanRun()

    def busy_question(self):
        """Closes the main window while the download runs; returns the question box."""
        self.start_old_main()
        self.s.start_updater(UPDATER)
        main = self.main_window()
        wait_for("the progress bar", lambda: self.s.colours(main, *BAR_LEFT_END) > 1)
        self.s.close_window(main)
        return self.s.wait_window("^提示$")

    def test_no_to_the_busy_question_changes_nothing(self):
        files = self.publish_update(rate=16 * 1024)
        question = self.busy_question()
        self.s.key(question, "Tab Return")  # 否
        self.s.wait_gone(question)
        # The download goes on to its end and the update completes.
        hint = self.s.wait_window("^Dialog$")
        self.s.key(hint, "Return")
        question = self.s.wait_window("^提示$")
        self.assertEqual(self.s.read("Norvane.exe"), files["Norvane.exe"])
        self.s.key(question, "Tab Return")
        self.assertEqual(self.s.wait_exit(), 2)
        self.assertCleanRun()

    def test_forced_close_during_the_download_ends_at_once(self):
        # Yes to the busy question abandons the running worker; the process
        # must end without tearing anything down under it.
        self.publish_update(rate=16 * 1024)
        question = self.busy_question()
        self.s.key(question, "Return")  # 是
        self.assertEqual(self.s.wait_exit(), 2)
        self.assertIsNone(self.old.poll(), "the main program should not be touched")
        self.assertIn("LOCAL_VERSION=1.0", self.s.read("update.cfg").decode())
        self.assertCleanRun()
