"""Drives Windows programs under Wine on the virtual display as a person
would: windows are found by their titles, buttons are clicked with the mouse
and keys are typed through xdotool, screenshots are taken with ImageMagick."""
import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

WINE = os.environ.get("GRINDLET_WINE", "/usr/lib/wine/wine64")


def windows_path(unix_path):
    """Wine maps drive Z: to the Linux root."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def wait_until(condition, timeout=90):
    deadline = time.monotonic() + timeout
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.2)
    return condition()


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


class Desktop:
    def __init__(self, wininfo_exe):
        self.wininfo = wininfo_exe

    def windows(self):
        out = subprocess.run([WINE, self.wininfo], stdout=subprocess.PIPE, timeout=60).stdout
        return [json.loads(line) for line in out.decode("utf-8", "replace").splitlines()
                if line.startswith("{")]

    def wait_for(self, title, timeout=90, skip=()):
        """The first visible window with this title that is not in `skip`."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for window in self.windows():
                if window["text"] == title and window["hwnd"] not in skip:
                    time.sleep(0.3)  # let it finish painting before it is clicked or pictured
                    return window
            time.sleep(0.2)
        raise AssertionError(f"no window titled {title!r} appeared; seen: {self.windows()}")

    def wait_gone(self, window, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if all(w["hwnd"] != window["hwnd"] for w in self.windows()):
                return
            time.sleep(0.2)
        raise AssertionError(f"window {window['text']!r} stayed open")

    @staticmethod
    def child(window, text):
        for control in window["children"]:
            if control["text"] == text:
                return control
        raise AssertionError(f"no control {text!r} in {window}")

    @staticmethod
    def message_text(window):
        return [c["text"] for c in window["children"]
                if c["class"] == "Static" and c["text"] and c["id"] != -1 or c["id"] == 0xFFFF]

    def click_at(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)

    def click_button(self, window, text):
        self.click_at(*centre(self.child(window, text)["rect"]))

    def click_close_box(self, window):
        assert window["close"][2] > 0, f"no close box found on {window}"
        self.click_at(*centre(window["close"]))

    def press(self, window, key):
        """Types a key into the window: a click on its title bar gives it the
        keyboard first, as a person would do."""
        left, top, right, _ = window["rect"]
        self.click_at(left + (right - left) // 3, top + 8)
        subprocess.run(["xdotool", "key", key], check=True)

    def screenshot(self, window, path):
        left, top, right, bottom = window["rect"]
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop",
                        f"{right - left}x{bottom - top}+{left}+{top}", "+repage", path],
                       check=True)


class Program:
    """A Windows program started under Wine, not waited for."""

    def __init__(self, exe, *args, cwd=None):
        self.process = subprocess.Popen([WINE, exe, *args], cwd=cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait(self, timeout=120):
        return self.process.wait(timeout=timeout)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()


class ProgramTest(unittest.TestCase):
    """A test with a scratch folder of its own on the Linux side, the desktop,
    and the one program it started, which it ends if it is still running."""
    WININFO = None  # set by the test's module from its arguments
    SCRATCH = "grindlet-"

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix=self.SCRATCH)
        self.desktop = Desktop(self.WININFO)
        self.program = None

    def tearDown(self):
        if self.program:
            self.program.kill()
        shutil.rmtree(self.work, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.work, name)
