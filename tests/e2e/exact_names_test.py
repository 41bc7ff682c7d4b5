"""The names Grindlet shreds are exactly the names on its command line.
Each run starts the real program through a launcher that hands it an exact
command line (CreateProcessA with the launcher's code page, or
CreateProcessW), answers every dialog with real input, and then reads what
is left on disk from the Linux side."""
import os
import shutil
import sys
import time
import unittest

from desktop import Program, ProgramTest, windows_path

GRINDLET, WININFO, SHOTS, LNKINFO, LAUNCH = sys.argv[1:6]
CONFIRM = "Grindlet"
FAILED = "The file was NOT shredded!"

# Names in several scripts, and the names a best-fit conversion to the
# Western code page would make of them.
SCRIPT_NAMES = ["łódź.txt", "Ελλάδα.txt", "Москва.txt", "東京.txt", "𝄞 clef.txt",
                "ﬁle.txt", "x＂ y.txt"]
LOOK_ALIKES = ["lódz.txt", "file.txt", "x", "y.txt"]


class ExactNames(ProgramTest):
    WININFO = WININFO
    SCRATCH = "grindlet-exact-"

    def write(self, name, data=None):
        path = self.path(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if data is not None else name.encode() * 3)

    def content(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_line(self, line, mode, yes=True):
        """Starts Grindlet with the exact command line and answers every
        dialog until it ends: the confirmation with Yes (or No), the error
        box with OK. Returns (confirmations, error boxes)."""
        line_file = self.path("command line")
        with open(line_file, "wb") as f:
            f.write(line if isinstance(line, bytes) else line.encode("utf-8"))
        self.program = Program(LAUNCH, mode, windows_path(line_file), cwd=self.work)
        asked = failed = 0
        deadline = time.monotonic() + 300
        while self.program.process.poll() is None and time.monotonic() < deadline:
            for window in self.desktop.windows():
                if window["text"] == CONFIRM:
                    self.desktop.click_button(window, "Yes" if yes else "No")
                    asked += 1
                elif window["text"] == FAILED:
                    self.desktop.click_button(window, "OK")
                    failed += 1
                else:
                    continue
                self.desktop.wait_gone(window)
            time.sleep(0.2)
        self.assertEqual(self.program.wait(), 0)
        os.remove(line_file)
        return asked, failed

    def test_first_name_beginning_with_a_byte_above_127(self):
        self.write("Ärger.txt")
        self.write("rger.txt")
        line = f'"{windows_path(GRINDLET)}" Ärger.txt'.encode("cp1252")
        self.assertEqual(self.run_line(line, "A"), (1, 0))
        self.assertFalse(os.path.exists(self.path("Ärger.txt")))
        self.assertEqual(self.content("rger.txt"), "rger.txt".encode() * 3)

    def test_quoted_program_name_followed_at_once_by_a_name(self):
        self.write("victim.txt")
        self.assertEqual(self.run_line(f'"{windows_path(GRINDLET)}"victim.txt', "W"), (1, 0))
        self.assertFalse(os.path.exists(self.path("victim.txt")))

    def test_switch_after_a_program_path_with_a_byte_above_127(self):
        """The self-removal run asks nothing; with nothing installed in the
        test prefix its shredding fails and shows the error box."""
        copy = self.path("Zürich/Grindlet.exe")
        os.makedirs(os.path.dirname(copy))
        shutil.copy(GRINDLET, copy)
        self.assertEqual(self.run_line(f"{windows_path(copy)} -kill".encode("cp1252"), "A"),
                         (0, 1))

    def test_mode_choice(self):
        program = windows_path(GRINDLET)
        for arguments, expected in (("-kill", (0, 1)), ("-killx", (0, 1)), ("-kill a b", (0, 1)),
                                    ("-KILL", (1, 0)), ("a -kill", (2, 0))):
            with self.subTest(arguments=arguments):
                self.assertEqual(self.run_line(f'"{program}" {arguments}', "W", yes=False),
                                 expected)

    def test_names_in_several_scripts_next_to_their_look_alikes(self):
        for name in SCRIPT_NAMES + LOOK_ALIKES:
            self.write(name)
        line = f'"{windows_path(GRINDLET)}" ' + " ".join(
            f'"{windows_path(self.path(name))}"' for name in SCRIPT_NAMES)
        self.assertEqual(self.run_line(line, "W"), (len(SCRIPT_NAMES), 0))
        self.assertEqual(sorted(os.listdir(self.work)), sorted(LOOK_ALIKES))
        for name in LOOK_ALIKES:
            self.assertEqual(self.content(name), name.encode() * 3, name)

    def test_folder_of_names_in_several_scripts(self):
        for name in SCRIPT_NAMES:
            self.write(os.path.join("scripts", name))
            self.write(os.path.join("scripts", "sub " + name, name))
        for name in LOOK_ALIKES:
            self.write(name)
        line = f'"{windows_path(GRINDLET)}" "{windows_path(self.path("scripts"))}"'
        self.assertEqual(self.run_line(line, "W"), (1, 0))
        self.assertEqual(sorted(os.listdir(self.work)), sorted(LOOK_ALIKES))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
