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
        self.s.write_config(f"127.0.0.1:{port}", version="1.0")
        # A file where the download folder should go: the folder cannot be made.
        self.s.write("download", b"not a folder")
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
