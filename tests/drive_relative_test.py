"""A drive-relative name ("Q:" alone) means the current folder of drive Q,
which the shredder must check and walk as the same folder. Drive Q: is
mapped to a scratch folder of the prefix for the test, so that nothing else
is within reach; its current folder is Q:\\chosen, and Q:\\other (the drive's
root holds it) must come through byte for byte."""
import os
import sys
import tempfile

import winetest


def main():
    shred_tool = sys.argv[1]
    dosdevices = os.path.join(os.environ["WINEPREFIX"], "dosdevices")
    with tempfile.TemporaryDirectory(prefix="grindlet-drive-") as drive:
        for folder in ("chosen", "other"):
            os.mkdir(os.path.join(drive, folder))
            with open(os.path.join(drive, folder, "data.txt"), "wb") as f:
                f.write(folder.encode() * 100)
        letter = next(l for l in "qrstuvwxy" if not os.path.lexists(os.path.join(dosdevices, l + ":")))
        mapping = os.path.join(dosdevices, letter + ":")
        os.symlink(drive, mapping)
        try:
            result = winetest.run(shred_tool, letter.upper() + ":",
                                  env={**os.environ,
                                       "GRINDLET_DRIVE_FOLDER": letter.upper() + ":\\chosen"})
        finally:
            os.unlink(mapping)
        assert result.returncode == 0, result.stdout
        assert os.listdir(drive) == ["other"], os.listdir(drive)
        with open(os.path.join(drive, "other", "data.txt"), "rb") as f:
            assert f.read() == b"other" * 100
    print("the drive's current folder was shredded and nothing beside it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
