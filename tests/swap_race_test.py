"""Someone who can write into a folder being shredded keeps swapping one of
its subfolders for a symbolic link to a folder outside the selection, and
back, while the shredder walks it. The shredder may fail on the swapped
entry, but must never follow it: no byte outside is ever overwritten.

The swapper works from the Linux side, where Wine's sharing rules do not
hold: on Windows the held subfolder could not be moved at all. Wine also
renames and deletes an open file by the Unix path it was opened under, and
looks that path up again, so when the outside folder holds files of the same
names as the subfolder, Wine's rename of a shredded file can land on one of
them. With names of its own the outside folder keeps every name as well.

Usage: swap_race_test.py SHRED_TOOL [RUNS]"""
import os
import shutil
import sys
import tempfile
import threading
import time

import winetest

NAMES = [f"f{i:02}.txt" for i in range(40)]
OTHER_NAMES = [f"o{i:02}.txt" for i in range(40)]
OUTSIDE = b"outside, never chosen\n" * 50


def fill(folder, content, names=NAMES):
    os.makedirs(folder, exist_ok=True)
    for name in names:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)


def swap_until(stop, sub, parked, outside):
    """Parks the real subfolder outside the tree, puts a link in its place,
    and puts it back, until told to stop or the subfolder is gone."""
    while not stop.is_set():
        try:
            os.rename(sub, parked)
        except OSError:
            return
        try:
            os.symlink(outside, sub)
            time.sleep(0.001)
            os.unlink(sub)
            os.rename(parked, sub)
        except OSError:
            return
        time.sleep(0.001)


def outside_state(outside, names):
    """(names kept, bytes kept): every byte of every file left in the outside
    folder is its own, and whether every name is there too."""
    if not os.path.isdir(outside):
        return False, False
    left = sorted(os.listdir(outside))
    for name in left:
        with open(os.path.join(outside, name), "rb") as f:
            if f.read() != OUTSIDE:
                return left == names, False
    return left == names, len(left) == len(names)


def race(shred_tool, runs, outside_names):
    """The number of runs after which the outside folder lost a name, and the
    number after which it lost a byte."""
    names_lost = bytes_lost = 0
    for _ in range(runs):
        with tempfile.TemporaryDirectory(prefix="grindlet-race-") as work:
            outside = os.path.join(work, "outside")
            tree = os.path.join(work, "tree")
            sub = os.path.join(tree, "sub")
            fill(outside, OUTSIDE, outside_names)
            fill(os.path.join(tree, "before"), b"x" * 4096)
            fill(sub, b"in the tree\n" * 100)
            fill(os.path.join(tree, "zafter"), b"y" * 4096)

            stop = threading.Event()
            swapper = threading.Thread(target=swap_until,
                                       args=(stop, sub, os.path.join(work, "parked"), outside))
            swapper.start()
            try:
                winetest.run(shred_tool, winetest.windows_path(tree))
            finally:
                stop.set()
                swapper.join()
            # The rest of the tree is the user's choice and must have gone:
            # a run that shredded nothing would prove nothing.
            for plain in ("before", "zafter"):
                assert not os.path.exists(os.path.join(tree, plain)), f"{plain} was not shredded"
            names_kept, bytes_kept = outside_state(outside, outside_names)
            names_lost += not names_kept
            bytes_lost += not bytes_kept
            shutil.rmtree(work, ignore_errors=True)
    return names_lost, bytes_lost


def main():
    shred_tool = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    names_lost, bytes_lost = race(shred_tool, runs, OTHER_NAMES)
    print(f"outside names of its own: {names_lost} of {runs} runs lost a name, "
          f"{bytes_lost} lost data")
    same_names_lost, same_bytes_lost = race(shred_tool, runs // 2, NAMES)
    print(f"outside names as in the tree: {same_names_lost} of {runs // 2} runs lost a name, "
          f"{same_bytes_lost} lost data")
    return 1 if names_lost or bytes_lost or same_bytes_lost else 0


if __name__ == "__main__":
    sys.exit(main())
