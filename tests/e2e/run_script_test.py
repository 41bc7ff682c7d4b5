"""The README's run command on a machine without a screen: scripts/run.sh is
driven through a pseudo-terminal with no DISPLAY, as a person at a terminal
would use it. It relays each window (title, message, buttons) and presses the
typed answer on the real window. It uses a Wine prefix of its own, so that
ending its Wine session ends nothing of the suite's."""
import os
import pty
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


class Terminal:
    """A process on a pseudo-terminal; what it prints is read as it comes."""

    def __init__(self, command, env):
        self.master, slave = pty.openpty()
        self.process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave,
                                        env=env, cwd=ROOT, start_new_session=True)
        os.close(slave)
        self.seen = ""

    def expect(self, pattern, timeout=600):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            match = re.search(pattern, self.seen)
            if match:
                self.seen = self.seen[match.end():]
                return match
            ready, _, _ = select.select([self.master], [], [], 1)
            if ready:
                try:
                    self.seen += os.read(self.master, 4096).decode(errors="replace")
                except OSError:
                    break
        raise AssertionError(f"{pattern!r} did not appear; the terminal shows: {self.seen[-2000:]!r}")

    def type(self, text):
        os.write(self.master, text.encode())

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        os.close(self.master)


class RunScript(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="grindlet-run-")
        self.prefix = tempfile.mkdtemp(prefix="grindlet-run-prefix-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(self.prefix, ignore_errors=True)

    def write(self, name):
        with open(os.path.join(self.work, name), "wb") as f:
            f.write(b"contents of " + name.encode())

    def test_windows_are_relayed_and_answered_from_the_terminal(self):
        self.write("shred me.txt")
        self.write("keep me.txt")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WINEPREFIX")}
        env["GRINDLET_WINEPREFIX"] = os.path.join(self.prefix, "prefix")
        names = [os.path.join(self.work, n) for n in ("shred me.txt", "keep me.txt", "missing.txt")]
        terminal = Terminal(["bash", "scripts/run.sh", *names], env)
        try:
            for answer in ("y", "n", "y"):
                terminal.expect(r"Grindlet: Warning: This will render these file\[s\] irrecoverable"
                                r".*\[y\] Yes  \[n\] No")
                shot = terminal.expect(r"\(screenshot: (\S+\.png)\)").group(1)
                self.assertTrue(os.path.getsize(shot) > 0)
                terminal.type(answer + "\n")
            terminal.expect(r"The file was NOT shredded!: Critical ERRROR!\s+\[o\] OK")
            terminal.type("o\n")
            terminal.expect(r"Grindlet ended with exit code 0")
            self.assertEqual(terminal.process.wait(timeout=120), 0)
        finally:
            terminal.close()
        self.assertFalse(os.path.exists(names[0]))
        with open(names[1], "rb") as f:
            self.assertEqual(f.read(), b"contents of keep me.txt")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
