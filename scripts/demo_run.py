#!/usr/bin/env python3
"""Runs the demo on a built tree (see scripts/demo)."""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from gui_session import Session, wait_for  # noqa: E402

PACKAGE_EXTRA = 4 * 1024 * 1024  # a few megabytes of release data
RATE = 1024 * 1024               # bytes per second: the bar takes a few seconds
BAR_LEFT_END = (25 / 318, 92 / 121, 55 / 318, 106 / 121)


def publish(releases, sample_new):
    os.makedirs(releases, exist_ok=True)
    package = "norvane-1.1.zip"
    with zipfile.ZipFile(os.path.join(releases, package), "w", zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo("Norvane.exe", date_time=(2024, 5, 1, 12, 0, 0))
        info.external_attr = 0o755 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(sample_new, "rb") as f:
            z.writestr(info, f.read())
        data = zipfile.ZipInfo("data/assets.bin", date_time=(2024, 5, 1, 12, 0, 0))
        data.external_attr = 0o644 << 16
        z.writestr(data, os.urandom(PACKAGE_EXTRA), zipfile.ZIP_STORED)
        z.writestr(zipfile.ZipInfo("readme.txt", date_time=(2024, 5, 1, 12, 0, 0)), "Norvane 1.1\n")
    with open(os.path.join(releases, "release.json"), "w") as f:
        f.write('{"version": "1.1", "package": "%s", "time": "2024-05-01", "content": "Norvane 1.1"}' % package)
    return os.path.getsize(os.path.join(releases, package))


def lay_out(session, build):
    shutil.copy2(os.path.join(build, "ui", "Updater"), os.path.join(session.folder, "Updater"))
    shutil.copy2(os.path.join(build, "tools", "sample_main", "norvane_sample_1_0"),
                 os.path.join(session.folder, "Norvane.exe"))
    session.write("readme.txt", "Norvane 1.0\n")


def report(session, code, shots):
    print()
    print(f"updater exit code: {code}")
    cfg = (session.read("update.cfg") or b"").decode(errors="replace")
    version = next((l.split("=", 1)[1] for l in cfg.splitlines() if l.startswith("LOCAL_VERSION=")), "?")
    print(f"update.cfg LOCAL_VERSION: {version}")
    print("program folder:")
    for base, dirs, files in os.walk(session.folder):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(base, name)
            print(f"  {os.path.relpath(path, session.folder):40} {os.path.getsize(path):>10} bytes")
    log = (session.read("norvane.log") or b"").decode().strip()
    if log:
        print("main program's own notes (norvane.log):")
        for line in log.splitlines():
            print("  " + line)
    for s in shots:
        print(f"screenshot: {s}")
    return 0 if code == 2 and version == "1.1" else 1


def headless(session, shots_dir):
    shots = []

    def shot(name, window="root"):
        path = os.path.join(shots_dir, name)
        session.screenshot(path, window)
        shots.append(path)
        print(f"  saved {path}")

    main = session.wait_window("^Updater$")
    print("  the dialog is up; waiting for the download to show")
    wait_for("the progress bar", lambda: session.colours(main, *BAR_LEFT_END) > 1 or session.windows("^Dialog$"))
    time.sleep(1.5)
    shot("1-downloading.png")
    hint = session.wait_window("^Dialog$")
    time.sleep(0.5)
    shot("2-confirmation.png")
    print("  confirming the installation (Return)")
    session.key(hint, "Return")
    question = session.wait_window("^提示$")
    time.sleep(0.5)
    shot("3-restart-question.png")
    print("  starting the new version (Return = 是)")
    session.key(question, "Return")
    code = session.wait_exit()
    wait_for("Norvane 1.1", lambda: session.windows("^Norvane$"), limit=60)
    time.sleep(1)
    shot("4-norvane-1.1.png")
    return code, shots


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--headless", action="store_true", help="run on a private X server even with a display")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    interactive = bool(os.environ.get("DISPLAY")) and not args.headless

    demo_dir = os.path.join(build, "demo-run")
    shutil.rmtree(demo_dir, ignore_errors=True)
    os.makedirs(demo_dir)
    session = Session(private_display=not interactive)
    try:
        size = publish(os.path.join(session.dir, "releases"),
                       os.path.join(build, "tools", "sample_main", "norvane_sample_1_1"))
        port = session.start_service(os.path.join(ROOT, "tools", "update_service.py"),
                                     os.path.join(session.dir, "releases"), RATE)
        lay_out(session, build)
        session.write_config(f"127.0.0.1:{port}", "", "1.0")
        print(f"program folder: {session.folder}")
        print(f"update service: 127.0.0.1:{port}, release 1.1, package {size} bytes at {RATE} bytes/s")

        old = subprocess.Popen(["./Norvane.exe"], cwd=session.folder, env=session.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        session.wait_window("^Norvane$", limit=60)
        print("main program 1.0 is running; starting the updater")
        session.start_updater(os.path.join(session.folder, "Updater"))
        if interactive:
            print("  click through the dialog: confirm the installation, then 是 to start Norvane 1.1")
            code, shots = session.wait_exit(limit=3600), []
        else:
            code, shots = headless(session, demo_dir)
        old.wait(timeout=30)
        result = report(session, code, shots)
        if interactive:
            input("press Enter to end the demo (closes Norvane 1.1) ")
        return result
    finally:
        # The main program the updater restarted lives on its own; end it by
        # the process id it noted.
        for pid in session.started_pids("1.1"):
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass
        session.close(keep=True)
        print(f"the demo's files stay in {session.dir}")


if __name__ == "__main__":
    sys.exit(main())
