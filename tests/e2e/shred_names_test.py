"""Grindlet started with names, as the Send To menu starts it: each name is
asked about in the confirmation dialog and answered with real mouse and
keyboard input; the files on disk and the error box show what was done."""
import os
import sys
import unittest

from desktop import Program, ProgramTest, wait_until, windows_path

GRINDLET, WININFO, SHOTS = sys.argv[1:4]
CONFIRM = "Grindlet"
FAILED = "The file was NOT shredded!"
PROGRESS = "Grindlet - shredding"


def write(path, data=b"precious contents\n"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


class ShredNames(ProgramTest):
    WININFO = WININFO
    SCRATCH = "grindlet-names-"

    def answer(self, how, previous):
        """Waits for the next confirmation dialog and answers it. A window
        that has gone is forgotten: Wine may give its id to the next one."""
        dialog = self.desktop.wait_for(CONFIRM, skip=previous)
        how(dialog)
        self.desktop.wait_gone(dialog)
        return dialog

    def assert_gone(self, name, message):
        self.assertTrue(wait_until(lambda: not os.path.exists(self.path(name))), message)

    def test_each_name_is_confirmed_then_shredded_or_kept(self):
        for name in ("a b.txt", "folder/sub/deep.txt", "folder/top.txt", "keep no.txt",
                     "keep esc.txt", "keep close.txt"):
            write(self.path(name))
        names = ["a b.txt", "folder", "missing.txt", "keep no.txt", "keep esc.txt",
                 "keep close.txt"]
        self.program = Program(GRINDLET, *[windows_path(self.path(n)) for n in names])
        d = self.desktop
        seen = set()

        first = self.answer(lambda w: (d.screenshot(w, os.path.join(SHOTS, "confirm.png")),
                                       d.click_button(w, "Yes")), seen)
        self.assertIn("irrecoverable", " ".join(c["text"] for c in first["children"]))
        self.assert_gone("a b.txt", "Yes shreds the quoted name")

        self.answer(lambda w: d.press(w, "Return"), seen)
        self.assert_gone("folder", "a folder goes with its contents")

        self.answer(lambda w: d.click_button(w, "Yes"), seen)
        box = d.wait_for(FAILED)
        self.assertIn("Critical ERRROR!", [c["text"] for c in box["children"]])
        d.screenshot(box, os.path.join(SHOTS, "error.png"))
        d.click_button(box, "OK")
        d.wait_gone(box)

        self.answer(lambda w: d.click_button(w, "No"), seen)
        self.answer(lambda w: d.press(w, "Escape"), seen)
        self.answer(lambda w: d.click_close_box(w), seen)

        self.assertEqual(self.program.wait(), 0)
        for kept in ("keep no.txt", "keep esc.txt", "keep close.txt"):
            with open(self.path(kept), "rb") as f:
                self.assertEqual(f.read(), b"precious contents\n", kept)

    def test_refused_file_is_reported_and_left_alone(self):
        hidden = self.path("hidden/.secret")
        write(hidden)
        write(self.path("hidden/plain.txt"))
        self.program = Program(GRINDLET, windows_path(self.path("hidden")))
        d = self.desktop
        self.answer(lambda w: d.click_button(w, "Yes"), set())
        box = d.wait_for(FAILED)
        d.click_button(box, "OK")
        self.assertEqual(self.program.wait(), 0)
        with open(hidden, "rb") as f:
            self.assertEqual(f.read(), b"precious contents\n")
        self.assertFalse(os.path.exists(self.path("hidden/plain.txt")))

    def test_long_shred_shows_progress_and_can_be_cancelled(self):
        """A sparse file of many gigabytes takes seconds to overwrite: the
        progress window comes up, and Cancel stops the shred with the file
        under its own name; the next name is asked about as usual, and a
        small file is shredded without any window of its own."""
        big = self.path("big.bin")
        with open(big, "wb") as f:
            f.truncate(16 << 30)
        write(self.path("small.txt"))
        self.program = Program(GRINDLET, windows_path(big), windows_path(self.path("small.txt")))
        d = self.desktop
        self.answer(lambda w: d.click_button(w, "Yes"), set())
        window = d.wait_for(PROGRESS, timeout=60)
        texts = " ".join(c["text"] for c in window["children"])
        self.assertIn("big.bin", texts)
        self.assertRegex(texts, r" of 16\.0 GB - 1 of 1 file")
        d.screenshot(window, os.path.join(SHOTS, "progress.png"))
        d.click_button(window, "Cancel")
        d.wait_gone(window)
        box = d.wait_for(FAILED)
        d.click_button(box, "OK")
        d.wait_gone(box)
        self.assertEqual(os.path.getsize(big), 16 << 30, "the cancelled file keeps its name")
        with open(big, "rb") as f:
            self.assertEqual(f.read(14), b"FileGrindlet!\0", "it was being overwritten")

        self.answer(lambda w: d.click_button(w, "Yes"), set())
        self.assertEqual(self.program.wait(), 0)
        self.assertFalse(os.path.exists(self.path("small.txt")))
        self.assertNotIn(PROGRESS, [w["text"] for w in d.windows()])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
