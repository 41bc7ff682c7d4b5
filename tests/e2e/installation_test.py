"""Grindlet started without arguments in the project's Wine prefix: install,
Send To, reinstall and uninstall, answered with real input, and checked with
`wine reg query`, the shortcut read back and the file system. Every test
leaves the prefix's registry and folders as it found them."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from desktop import WINE, Desktop, Program, windows_path

GRINDLET, WININFO, SHOTS, LNKINFO = sys.argv[1:5]
OFFER = "Install Grindlet?"
CONFIRM = "Grindlet"
FAILED = "The file was NOT shredded!"
RECORD_KEY = r"HKCU\Software\Ostrivane\Grindlet"
MAKER_KEY = r"HKCU\Software\Ostrivane"
WINDOWS_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion"
SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
SHORTCUT = "Grindlet (shred this file).lnk"
# Long enough for a self-removal run (two seconds' wait, then the shredding)
# to have done its work, were it going to.
REMOVAL_SETTLES = 12


def wine(*args):
    return subprocess.run([WINE, *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=120)


def reg_query(key, name=None):
    """The value's data, or None when the key or the value is missing."""
    result = wine("reg", "query", key, *(["/v", name] if name else ["/ve"]))
    if result.returncode != 0:
        return None
    for line in result.stdout.decode(errors="replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_") and parts[0] == (name or "(Default)"):
            return parts[2] if len(parts) == 3 else ""
    return None


def key_exists(key):
    return wine("reg", "query", key).returncode == 0


def unix(windows):
    return subprocess.run(["winepath", "-u", windows], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True).stdout.decode().strip()


def wait_until(condition, timeout=90):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.5)
    return condition()


class Installation(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(WININFO)
        cls.program_files = reg_query(WINDOWS_KEY, "ProgramFilesDir")
        cls.send_to = reg_query(SHELL_FOLDERS, "SendTo")
        assert cls.program_files and cls.send_to, "the prefix has no Program Files or Send To"
        cls.install_dir = unix(cls.program_files + r"\Ostrivane\Grindlet")
        cls.maker_dir = os.path.dirname(cls.install_dir)
        cls.installed_exe = cls.program_files + r"\Ostrivane\Grindlet\Grindlet.exe"
        cls.shortcut = os.path.join(unix(cls.send_to), SHORTCUT)
        cls.temp_copy = os.path.join(unix(wine("cmd", "/c", "echo %TEMP%").stdout.decode().strip()),
                                     "Grindlet.exe")

    def setUp(self):
        self.programs = []
        self.work = tempfile.mkdtemp(prefix="grindlet-install-")
        self.restore()

    def tearDown(self):
        for program in self.programs:
            program.kill()
        # A pending self-removal run must not outlive the test.
        subprocess.run(["pkill", "-f", "Grindlet.exe -kill"], check=False)
        self.restore()
        shutil.rmtree(self.work, ignore_errors=True)

    def restore(self):
        wine("reg", "delete", MAKER_KEY, "/f")
        wine("reg", "add", WINDOWS_KEY, "/v", "ProgramFilesDir", "/d", self.program_files, "/f")
        for path in (self.shortcut, self.temp_copy):
            if os.path.exists(path):
                os.remove(path)
        shutil.rmtree(self.maker_dir, ignore_errors=True)

    def start(self, exe=GRINDLET, *args, cwd=None):
        program = Program(exe, *args, cwd=cwd)
        self.programs.append(program)
        return program

    def answer_offer(self, button=None, key=None, close=False, shot=None):
        """Starts Grindlet without arguments and answers its dialog."""
        program = self.start()
        dialog = self.desktop.wait_for(OFFER)
        if shot:
            self.desktop.screenshot(dialog, os.path.join(SHOTS, shot))
        if button:
            self.desktop.click_button(dialog, button)
        elif key:
            self.desktop.press(dialog, key)
        elif close:
            self.desktop.click_close_box(dialog)
        self.assertEqual(program.wait(), 0)
        return dialog

    def assert_installed(self):
        self.assertEqual(reg_query(RECORD_KEY), self.installed_exe)
        installed = os.path.join(self.install_dir, "Grindlet.exe")
        with open(installed, "rb") as copy, open(GRINDLET, "rb") as original:
            self.assertEqual(copy.read(), original.read(), "the installed file is the program")
        link = subprocess.run([WINE, LNKINFO, windows_path(self.shortcut)], stdout=subprocess.PIPE)
        self.assertEqual(link.returncode, 0, "the Send To shortcut loads")
        self.assertEqual(link.stdout.decode().splitlines(), [self.installed_exe, "File Shredder"])

    def assert_not_installed(self):
        self.assertIsNone(reg_query(RECORD_KEY))
        self.assertFalse(os.path.exists(self.shortcut))

    def test_install_send_to_and_uninstall(self):
        dialog = self.answer_offer(button="Yes", shot="install.png")
        self.assertEqual([c["text"] for c in dialog["children"] if c["class"] == "Button"],
                         ["Yes", "No"])
        self.assert_installed()

        victim = os.path.join(self.work, "sent file.txt")
        with open(victim, "wb") as f:
            f.write(b"sent to Grindlet")
        sent = self.start(os.path.join(self.install_dir, "Grindlet.exe"), windows_path(victim))
        self.desktop.click_button(self.desktop.wait_for(CONFIRM), "Yes")
        self.assertEqual(sent.wait(), 0)
        self.assertFalse(os.path.exists(victim), "the installed copy shreds what is sent to it")

        self.answer_offer(button="Uninstall", shot="reinstall.png")
        self.assert_not_installed()
        self.assertTrue(key_exists(MAKER_KEY), "the maker's key stays")
        self.assertTrue(os.path.exists(self.temp_copy), "the temporary copy is made")
        self.assertTrue(wait_until(lambda: not os.path.exists(self.install_dir)),
                        "the self-removal run shreds the install folder")
        self.assertTrue(os.path.isdir(self.maker_dir), "the maker's folder stays")
        self.assertTrue(os.path.exists(self.temp_copy), "the temporary copy stays")

    def test_reinstall_leaves_a_working_install(self):
        self.answer_offer(button="Yes")
        self.answer_offer(button="Reinstall")
        time.sleep(REMOVAL_SETTLES)
        self.assert_installed()

    def test_install_while_a_removal_is_pending_survives_it(self):
        self.answer_offer(button="Yes")
        self.answer_offer(button="Uninstall")
        self.answer_offer(button="Yes")
        time.sleep(REMOVAL_SETTLES)
        self.assert_installed()

    def test_no_and_close_change_nothing(self):
        self.answer_offer(button="No")
        self.answer_offer(close=True)
        self.assert_not_installed()
        self.assertFalse(os.path.exists(self.install_dir))
        self.assertFalse(key_exists(MAKER_KEY))

    def test_escape_in_reinstall_dialog_uninstalls(self):
        self.answer_offer(button="Yes")
        self.answer_offer(key="Escape")
        self.assert_not_installed()
        self.assertTrue(wait_until(lambda: not os.path.exists(self.install_dir)))

    def test_record_without_folder_uninstalls_and_reports_the_failed_shred(self):
        wine("reg", "add", RECORD_KEY, "/ve", "/d", r"C:\gone\Grindlet.exe", "/f")
        self.answer_offer(button="Uninstall")
        self.assertFalse(key_exists(RECORD_KEY))
        box = self.desktop.wait_for(FAILED)
        self.assertIn("Critical ERRROR!", [c["text"] for c in box["children"]])
        self.desktop.click_button(box, "OK")
        self.desktop.wait_gone(box)

    def test_unreadable_program_files_installs_on_the_current_drive(self):
        wine("reg", "delete", WINDOWS_KEY, "/v", "ProgramFilesDir", "/f")
        drive_c = unix("C:\\")
        root_install = os.path.join(drive_c, "Ostrivane")
        try:
            program = self.start(cwd=drive_c)
            self.desktop.click_button(self.desktop.wait_for(OFFER), "Yes")
            self.assertEqual(program.wait(), 0)
            self.assertEqual(reg_query(RECORD_KEY), r"\Ostrivane\Grindlet\Grindlet.exe")
            self.assertTrue(os.path.isfile(os.path.join(root_install, "Grindlet", "Grindlet.exe")))
        finally:
            shutil.rmtree(root_install, ignore_errors=True)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
