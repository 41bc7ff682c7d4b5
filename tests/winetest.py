"""Helpers for tests that run on the Linux side and start Windows programs
under Wine: path conversion and process start with the suite's prefix."""
import os
import subprocess

WINE = os.environ.get("GRINDLET_WINE", "/usr/lib/wine/wine64")


def windows_path(unix_path):
    """Wine maps drive Z: to the Linux root."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def run(exe, *args, timeout=300, env=None):
    return subprocess.run([WINE, exe, *args], timeout=timeout, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
