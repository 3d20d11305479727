"""The real updater on a private X server, driven by keystrokes.

One Session is one test's world: its own Xvfb (and a small window manager),
a program folder in a temporary directory, the reference update service on a
free loopback port when the test needs one, and the updater started there.
Every wait polls with a generous limit and never assumes a speed.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time

WAIT = 120  # seconds; slow shared cores under sanitizers


class Timeout(AssertionError):
    pass


def wait_for(what, probe, limit=WAIT, interval=0.2):
    end = time.monotonic() + limit
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Timeout(f"timed out waiting for {what}")
        time.sleep(interval)


class Session:
    def __init__(self, lsan_suppressions=None, window_manager=True, private_display=True):
        self.dir = tempfile.mkdtemp(prefix="updater-e2e-")
        self.folder = os.path.join(self.dir, "program")
        os.mkdir(self.folder)
        self.processes = []
        self.updater = None
        self.env = dict(os.environ)
        if private_display:
            self._start_display()
        if private_display and window_manager and shutil.which("openbox"):
            self._spawn(["openbox", "--sm-disable"])
            # Openbox owns the screen once it has set the WM check window.
            wait_for("the window manager", lambda: "_NET_SUPPORTING_WM_CHECK" in self._root_props(), limit=60)
        if lsan_suppressions:
            self.env["LSAN_OPTIONS"] = f"suppressions={lsan_suppressions}:print_suppressions=0"

    # --- the world --------------------------------------------------------

    def _start_display(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                                 "-nolisten", "tcp"], pass_fds=(write_end,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        self.processes.append(xvfb)
        number = b""
        with os.fdopen(read_end, "rb") as r:
            while not number.endswith(b"\n"):
                c = r.read(1)
                if not c:
                    raise AssertionError("Xvfb did not start")
                number += c
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.env.pop("WAYLAND_DISPLAY", None)

    def _root_props(self):
        return subprocess.run(["xprop", "-root"], env=self.env, capture_output=True, text=True).stdout

    def _spawn(self, argv, **kw):
        p = subprocess.Popen(argv, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
        self.processes.append(p)
        return p

    def start_service(self, service_script, releases, rate=0):
        argv = ["python3", service_script, "--releases", releases, "--quiet"]
        if rate:
            argv += ["--rate", str(rate)]
        p = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.processes.append(p)
        return int(p.stdout.readline())

    def write(self, name, data, mode=None):
        path = os.path.join(self.folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        if mode is not None:
            os.chmod(path, mode)
        return path

    def read(self, name):
        path = os.path.join(self.folder, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def write_config(self, host, suffix="", version="1.0"):
        self.write("update.cfg", f"[SERVER]\nMSG_SERVER_HOST={host}\nMSG_SERVER_SUFFIX={suffix}\n"
                                 f"[VERSION]\nLOCAL_VERSION={version}\n")

    # --- the updater --------------------------------------------------------

    def start_updater(self, binary):
        self.out = open(os.path.join(self.dir, "updater.log"), "wb")
        self.updater = subprocess.Popen([binary], cwd=self.folder, env=self.env, stdout=self.out,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        return self.updater

    def log(self):
        with open(os.path.join(self.dir, "updater.log"), "rb") as f:
            return f.read().decode(errors="replace")

    def wait_exit(self, limit=WAIT):
        try:
            return self.updater.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            raise Timeout("the updater did not end\n" + self.log())

    def running(self):
        return self.updater.poll() is None

    # --- windows --------------------------------------------------------------

    def windows(self, title):
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], env=self.env,
                           capture_output=True, text=True)
        return [int(w) for w in r.stdout.split()]

    def wait_window(self, title, limit=WAIT):
        def probe():
            if self.updater is not None and self.updater.poll() is not None and title != "^Norvane$":
                raise AssertionError(f"the updater ended ({self.updater.returncode}) before {title} showed\n"
                                     + self.log())
            found = self.windows(title)
            return found[0] if found else None
        return wait_for(f"a window titled {title}", probe, limit)

    def wait_gone(self, window, limit=WAIT):
        wait_for(f"window {window} to go", lambda: window not in self.windows("."), limit)

    def key(self, window, key):
        """Types `key` (keys separated by spaces) into `window`, as its user would."""
        subprocess.run(["xdotool", "windowactivate", "--sync", str(window)], env=self.env,
                       capture_output=True, timeout=60)
        subprocess.run(["xdotool", "windowfocus", "--sync", str(window)], env=self.env,
                       capture_output=True, timeout=60)
        subprocess.run(["xdotool", "key", "--clearmodifiers", *key.split()], env=self.env, check=True, timeout=60)

    def close_window(self, window):
        """The window manager's close request, as the caption's close box makes it."""
        self.key(window, "alt+F4")  # the window manager turns it into its close request

    def geometry(self, window):
        r = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)], env=self.env,
                           capture_output=True, text=True, check=True)
        values = dict(line.split("=", 1) for line in r.stdout.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def screenshot(self, path, window="root"):
        subprocess.run(["import", "-window", str(window), path], env=self.env, check=True,
                       capture_output=True, timeout=120)
        return path

    def colours(self, window, fx0, fy0, fx1, fy1):
        """Number of distinct colours in a part of `window`, given as fractions of its size."""
        shot = self.screenshot(os.path.join(self.dir, "part.png"), window)
        _, _, w, h = self.geometry(window)
        crop = f"{int((fx1 - fx0) * w)}x{int((fy1 - fy0) * h)}+{int(fx0 * w)}+{int(fy0 * h)}"
        r = subprocess.run(["convert", shot, "-crop", crop, "+repage", "-format", "%k", "info:"],
                           capture_output=True, text=True, check=True)
        return int(r.stdout.strip())

    def pixel(self, window, fx, fy):
        shot = self.screenshot(os.path.join(self.dir, "pixel.png"), window)
        _, _, w, h = self.geometry(window)
        r = subprocess.run(["convert", shot, "-format", f"%[pixel:p{{{int(fx * w)},{int(fy * h)}}}]", "info:"],
                           capture_output=True, text=True, check=True)
        return r.stdout.strip()

    def started_pids(self, version):
        """Processes of the sample main program at `version`, from its notes."""
        log = (self.read("norvane.log") or b"").decode()
        return [int(f[2]) for f in (l.split() for l in log.splitlines())
                if len(f) == 3 and f[0] == "started" and f[1] == version]

    # --- the end --------------------------------------------------------------

    def close(self, keep=False):
        if self.updater is not None and self.updater.poll() is None:
            self.updater.kill()
            self.updater.wait()
        for p in reversed(self.processes):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        if not keep:
            shutil.rmtree(self.dir, ignore_errors=True)
