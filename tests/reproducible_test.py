"""Builds the shipped program a second time, from the same sources, in a
folder of another name and depth, and compares it byte for byte with the
first build: no time stamp and no build path may reach the program.

Usage: reproducible_test.py SOURCE_DIR TOOLCHAIN_FILE PROGRAM"""
import filecmp
import os
import subprocess
import sys
import tempfile


def main():
    source, toolchain, program = sys.argv[1:4]
    with tempfile.TemporaryDirectory(prefix="grindlet-again-") as work:
        build = os.path.join(work, "another", "build folder")
        subprocess.run(["cmake", "-S", source, "-B", build, f"-DCMAKE_TOOLCHAIN_FILE={toolchain}",
                        "-DCMAKE_BUILD_TYPE=Release", "-DGRINDLET_TESTS=OFF"],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "--target", "Grindlet", f"-j{os.cpu_count()}"],
                       check=True, stdout=subprocess.DEVNULL)
        again = os.path.join(build, "Grindlet.exe")
        same = filecmp.cmp(program, again, shallow=False)
        print(f"{program} and {again}: {'the same bytes' if same else 'DIFFERENT'}")
        return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
