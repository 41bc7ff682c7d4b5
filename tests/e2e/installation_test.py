"""Grindlet started without arguments in the project's Wine prefix: install,
Send To, reinstall and uninstall, answered with real input, and checked with
`wine reg query`, the shortcut read back and the file system. Every test
leaves the prefix's registry and folders as it found them."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from desktop import WINE, Desktop, Program, wait_until, windows_path

GRINDLET, WININFO, SHOTS, LNKINFO = sys.argv[1:5]
OFFER = "Install Grindlet?"
CONFIRM = "Grindlet"
FAILED = "The file was NOT shredded!"
NOT_INSTALLED = "Grindlet was NOT installed!"
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


def is_32_bit(exe):
    with open(exe, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, pe + 4)[0] == 0x14C


# A 32-bit program on 64-bit Windows sees the 32-bit view of the machine's
# software keys, where "ProgramFilesDir" is the "Program Files (x86)" folder;
# reg.exe is told to look at the view the program under test sees.
VIEW = ["/reg:32"] if is_32_bit(GRINDLET) else ["/reg:64"]


def without_dialogs(source, target):
    """Copies a program and renumbers its dialog templates 102, 103 and 104
    to 98, 99 and 100 in its resource directory (the order the platform's
    search relies on is kept), so that the program finds none of them."""
    with open(source, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
    resource_rva = struct.unpack_from("<I", data, directories + 8 * 2)[0]
    for i in range(sections):
        _, _, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * i)
        if vaddr <= resource_rva < vaddr + rsize:
            base = resource_rva - vaddr + raddr

    def entries(directory):
        count = sum(struct.unpack_from("<HH", data, base + directory + 12))
        return [base + directory + 16 + 8 * i for i in range(count)]

    for entry in entries(0):
        kind, subdirectory = struct.unpack_from("<II", data, entry)
        if kind == 5:
            renumber = {102: 98, 103: 99, 104: 100}
            for dialog in entries(subdirectory & 0x7FFFFFFF):
                name = struct.unpack_from("<I", data, dialog)[0]
                struct.pack_into("<I", data, dialog, renumber.get(name, name))
    with open(target, "wb") as f:
        f.write(data)


def reg(*args):
    return wine("reg", *args, *VIEW)


def reg_query(key, name=None):
    """The value's data, or None when the key or the value is missing."""
    result = reg("query", key, *(["/v", name] if name else ["/ve"]))
    if result.returncode != 0:
        return None
    for line in result.stdout.decode(errors="replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_") and parts[0] == (name or "(Default)"):
            return parts[2] if len(parts) == 3 else ""
    return None


def key_exists(key):
    return reg("query", key).returncode == 0


def unix(windows):
    return subprocess.run([WINE, "winepath", "-u", windows], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True).stdout.decode().strip()


def self_removal_runs():
    """The process ids of "-kill" runs of a Grindlet.exe (Wine shows a
    Windows program's command line as the process's own)."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                words = f.read().split(b"\0")
        except OSError:
            continue
        if b"-kill" in words and any(w.endswith(b"Grindlet.exe") for w in words):
            found.append(int(pid))
    return found


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
        cls.temp = unix(wine("cmd", "/c", "echo %TEMP%").stdout.decode().strip())

    def setUp(self):
        self.programs = []
        self.work = tempfile.mkdtemp(prefix="grindlet-install-")
        self.restore()

    def tearDown(self):
        for program in self.programs:
            program.kill()
        # A self-removal run that Grindlet started ends by itself; the next
        # test must not meet it.
        self.assertTrue(wait_until(lambda: not self_removal_runs(), timeout=60),
                        f"self-removal runs left: {self_removal_runs()}")
        self.restore()
        shutil.rmtree(self.work, ignore_errors=True)

    def restore(self):
        reg("delete", MAKER_KEY, "/f")
        reg("add", WINDOWS_KEY, "/v", "ProgramFilesDir", "/d", self.program_files, "/f")
        if os.path.exists(self.shortcut):
            os.remove(self.shortcut)
        for folder in self.temporary_copy_folders():
            shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(self.maker_dir, ignore_errors=True)

    def temporary_copy_folders(self):
        """The folders of their own that uninstalls made for the copy that
        shreds the install folder."""
        return [os.path.join(self.temp, name) for name in os.listdir(self.temp)
                if name.startswith("Grindlet-") and
                os.path.isfile(os.path.join(self.temp, name, "Grindlet.exe"))]

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
        copies = self.temporary_copy_folders()
        self.assertEqual(len(copies), 1, "the temporary copy is made in a folder of its own")
        self.assertEqual(os.listdir(copies[0]), ["Grindlet.exe"])
        self.assertTrue(wait_until(lambda: not os.path.exists(self.install_dir)),
                        "the self-removal run shreds the install folder")
        self.assertTrue(os.path.isdir(self.maker_dir), "the maker's folder stays")
        self.assertEqual(self.temporary_copy_folders(), copies, "the temporary copy stays")

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
        reg("add", RECORD_KEY, "/ve", "/d", r"C:\gone\Grindlet.exe", "/f")
        self.answer_offer(button="Uninstall")
        self.assertFalse(key_exists(RECORD_KEY))
        box = self.desktop.wait_for(FAILED)
        self.assertIn("Critical ERRROR!", [c["text"] for c in box["children"]])
        self.desktop.click_button(box, "OK")
        self.desktop.wait_gone(box)

    def test_missing_dialog_template_changes_nothing(self):
        """A copy of the program without its install dialogs cannot ask: it
        installs, uninstalls and shows nothing, with or without a record."""
        trimmed = os.path.join(self.work, "Grindlet.exe")
        without_dialogs(GRINDLET, trimmed)
        self.assertEqual(self.start(trimmed).wait(), 0)
        self.assert_not_installed()
        self.assertFalse(os.path.exists(self.install_dir))

        self.answer_offer(button="Yes")
        self.assertEqual(self.start(trimmed).wait(), 0)
        self.assert_installed()

    def assert_not_installed_box(self, *words):
        box = self.desktop.wait_for(NOT_INSTALLED)
        text = " ".join(c["text"] for c in box["children"])
        for word in words:
            self.assertIn(word, text)
        self.desktop.click_button(box, "OK")
        self.desktop.wait_gone(box)
        return text

    def test_unreadable_program_files_installs_nothing_anywhere(self):
        """Without "ProgramFilesDir" there is no install folder: nothing is
        made at the root of the current drive, where other users could
        change it, and a self-removal run shreds nothing there."""
        reg("delete", WINDOWS_KEY, "/v", "ProgramFilesDir", "/f")
        drive_c = unix("C:\\")
        root_install = os.path.join(drive_c, "Ostrivane")
        try:
            program = self.start(cwd=drive_c)
            self.desktop.click_button(self.desktop.wait_for(OFFER), "Yes")
            self.assert_not_installed_box("Program Files")
            self.assertEqual(program.wait(), 0)
            self.assertFalse(os.path.exists(root_install))
            self.assertFalse(key_exists(MAKER_KEY))
            self.assertFalse(os.path.exists(self.shortcut))

            planted = os.path.join(root_install, "Grindlet", "planted.txt")
            os.makedirs(os.path.dirname(planted))
            with open(planted, "wb") as f:
                f.write(b"not the program's")
            self.assertEqual(self.start(GRINDLET, "-kill", cwd=drive_c).wait(), 0)
            with open(planted, "rb") as f:
                self.assertEqual(f.read(), b"not the program's")
        finally:
            shutil.rmtree(root_install, ignore_errors=True)

    def test_failed_copy_leaves_no_shortcut_and_no_record(self):
        """A folder where the program file should go makes the copy fail
        (access denied), as a Program Files folder does for a normal user."""
        os.makedirs(os.path.join(self.install_dir, "Grindlet.exe"))
        program = self.start()
        self.desktop.click_button(self.desktop.wait_for(OFFER), "Yes")
        self.assert_not_installed_box("could not be copied", "administrator")
        self.assertEqual(program.wait(), 0)
        self.assert_not_installed()

    def test_install_completes_while_a_self_removal_run_shows_its_error(self):
        reg("add", RECORD_KEY, "/ve", "/d", r"C:\gone\Grindlet.exe", "/f")
        self.answer_offer(button="Uninstall")
        box = self.desktop.wait_for(FAILED)
        try:
            self.answer_offer(button="Yes")
            self.assert_installed()
        finally:
            self.desktop.click_button(box, "OK")
            self.desktop.wait_gone(box)

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
