"""The shredder never follows a link. Wine reports a Unix symbolic link to a
folder as a directory reparse point, and one to a file as a plain file that
it opens through the link; either, inside a shredded folder or named
directly, must leave what it points at untouched."""
import os
import sys
import tempfile

import winetest


def main():
    shred_tool = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="grindlet-link-") as work:
        outside = os.path.join(work, "outside")
        os.mkdir(outside)
        keep = os.path.join(outside, "keep.txt")
        content = b"must survive" * 100
        with open(keep, "wb") as f:
            f.write(content)

        victim = os.path.join(work, "victim")
        os.mkdir(victim)
        with open(os.path.join(victim, "a.txt"), "wb") as f:
            f.write(b"to be shredded")
        inner_link = os.path.join(victim, "link")
        os.symlink(outside, inner_link)
        os.symlink(keep, os.path.join(victim, "file link.txt"))
        direct_link = os.path.join(work, "direct")
        os.symlink(outside, direct_link)
        direct_file_link = os.path.join(work, "direct file link.txt")
        os.symlink(keep, direct_file_link)

        folder = winetest.run(shred_tool, winetest.windows_path(victim))
        direct = winetest.run(shred_tool, winetest.windows_path(direct_link))
        direct_file = winetest.run(shred_tool, winetest.windows_path(direct_file_link))

        with open(keep, "rb") as f:
            assert f.read() == content, "a file behind a link was written"
        assert os.listdir(outside) == ["keep.txt"]
        assert not os.path.exists(os.path.join(victim, "a.txt"))
        # The result says whether the link itself went away.
        for result, path in ((direct, direct_link), (direct_file, direct_file_link),
                             (folder, victim)):
            assert (result.returncode == 0) == (not os.path.lexists(path)), (path, result)
        print("links removed or left, never followed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
