"""The shredded bytes must reach the storage device before the file is
deleted. A small ext4 image is loop-mounted; a file full of a distinctive
marker is written and synced, shredded under Wine, and after unmounting the
raw image must hold no copy of the marker."""
import os
import secrets
import subprocess
import sys
import tempfile

import winetest

SKIP = 77


def sh(*command):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)


def main():
    shred_tool = sys.argv[1]
    if os.geteuid() != 0:
        print("SKIP: loop-mounting an ext4 image needs root")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="grindlet-device-") as work:
        image = os.path.join(work, "device.img")
        mount_point = os.path.join(work, "mnt")
        os.mkdir(mount_point)
        with open(image, "wb") as f:
            f.truncate(16 * 1024 * 1024)
        made = sh("mkfs.ext4", "-q", "-F", image)
        if made.returncode != 0:
            print("SKIP: mkfs.ext4 failed:", made.stdout.decode(errors="replace"))
            return SKIP
        mounted = sh("mount", "-o", "loop,nodiscard", image, mount_point)
        if mounted.returncode != 0:
            print("SKIP: cannot loop-mount here:", mounted.stdout.decode(errors="replace"))
            return SKIP
        try:
            marker = ("GRINDLET-MARKER-" + secrets.token_hex(8) + "|").encode()
            victim = os.path.join(mount_point, "victim.bin")
            with open(victim, "wb") as f:
                f.write(marker * (200 * 1024 // len(marker)))
            os.sync()
            with open(image, "rb") as f:
                assert marker in f.read(), "the marker must be on the device before shredding"

            result = winetest.run(shred_tool, winetest.windows_path(victim))
            assert result.returncode == 0, result.stdout
            assert not os.path.exists(victim), "the shredded file must be deleted"
        finally:
            sh("umount", mount_point)
        with open(image, "rb") as f:
            left = f.read().count(marker)
        assert left == 0, f"{left} copies of the marker survive on the device"
        print("no copy of the marker left on the device")
    return 0


if __name__ == "__main__":
    sys.exit(main())
