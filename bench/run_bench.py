"""Shred throughput: the engine's one flushed pass against the device limit
(dd over the same file with fsync) and GNU coreutils shred, on the same files
in the same run. Prints one Markdown table of medians.

Usage: run_bench.py SHRED_BENCH_EXE [--sizes 64,256,1024] [--runs 5] [--dir DIR]

Every measurement overwrites a file in the same state: fully written, synced
to the device and clean in the page cache. The tools take turns within each
round, in an order that rotates from round to round, so that a slow spell of
the shared machine does not land on one tool only."""
import argparse
import collections
import os
import statistics
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import winetest  # noqa: E402

MiB = 1 << 20


def prepare(path, size):
    block = os.urandom(MiB)
    with open(path, "wb") as f:
        for _ in range(size // MiB):
            f.write(block)
        f.flush()
        os.fsync(f.fileno())


def timed(command):
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        raise RuntimeError(f"{command} failed: {done.stdout.decode(errors='replace')}")
    return seconds


def overwrites(command):
    """A tool that overwrites the file in place and leaves it at its size."""
    def run(path, size):
        seconds = timed(command(path, size))
        if os.path.getsize(path) != size:
            raise RuntimeError(f"{command(path, size)} changed the size of {path}")
        return [seconds]
    return run


def engine(exe):
    """The engine's shred (pass, flush, move and deletion) and, apart, the
    file system's freeing of the file's blocks; both timed inside the
    process. Nothing may stay in the folder, under any name."""
    def run(path, size):
        done = winetest.run(exe, winetest.windows_path(path))
        if done.returncode != 0 or os.listdir(os.path.dirname(path)):
            raise RuntimeError(f"the engine did not shred {path}: {done.stdout.decode()}")
        shred, freeing = (float(word) for word in done.stdout.decode().split())
        return [shred, shred + freeing]
    return run


# A tool fills one column of the table for each of its `columns`.
Tool = collections.namedtuple("Tool", "columns run")

DEVICE_LIMIT = "Device limit: dd conv=notrunc,fsync"


def tools(exe):
    return [
        Tool([DEVICE_LIMIT], overwrites(lambda path, size: [
            "dd", "if=/dev/zero", f"of={path}", "bs=1M", f"count={size // MiB}",
            "conv=notrunc,fsync", "status=none"])),
        Tool(["Grindlet engine, one flushed pass",
              "Grindlet engine, with the blocks freed"], engine(exe)),
        Tool(["shred -n 1"], overwrites(lambda path, size: ["shred", "-n", "1", path])),
        Tool(["shred -n 0 -z"], overwrites(lambda path, size: ["shred", "-n", "0", "-z", path])),
    ]


def startup(exe, runs):
    """Wall time of the engine's program when it does nothing: what starting
    it under Wine costs, left out of the engine's figures."""
    return statistics.median(timed([winetest.WINE, exe]) for _ in range(runs))


def cell(seconds, size, limit):
    text = f"{seconds:.3f} s, {size / MiB / seconds:.0f} MiB/s"
    return text if limit is None else f"{text} ({limit / seconds:.2f}×)"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--sizes", default="64,256,1024", help="file sizes in MiB")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dir", default=os.getcwd(),
                        help="where the files are written, in a folder of their own")
    options = parser.parse_args()
    sizes = [int(s) * MiB for s in options.sizes.split(",")]
    work = tempfile.mkdtemp(prefix="grindlet-bench-", dir=options.dir)
    path = os.path.join(work, "grindlet-bench.bin")
    all_tools = tools(options.exe)
    columns = [column for tool in all_tools for column in tool.columns]
    times = collections.defaultdict(list)
    try:
        for round_ in range(options.runs):
            turn = round_ % len(all_tools)
            for size in sizes:
                for tool in all_tools[turn:] + all_tools[:turn]:
                    prepare(path, size)
                    for column, seconds in zip(tool.columns, tool.run(path, size)):
                        times[(column, size)].append(seconds)
            print(f"round {round_ + 1} of {options.runs} done", file=sys.stderr)
    finally:
        shutil.rmtree(work)

    print(f"| Size | {' | '.join(columns)} |")
    print("|---:|" + "---:|" * len(columns))
    for size in sizes:
        limit = statistics.median(times[(DEVICE_LIMIT, size)])
        cells = [cell(statistics.median(times[(column, size)]), size,
                      None if column == DEVICE_LIMIT else limit)
                 for column in columns]
        print(f"| {size // MiB} MiB | {' | '.join(cells)} |")
    print()
    print(f"Medians of {options.runs} runs; (n×) is the device limit's time over the column's.")
    print(f"Starting the engine's program under Wine, not counted above: "
          f"{startup(options.exe, options.runs):.3f} s (median).")
    return 0


if __name__ == "__main__":
    sys.exit(main())
