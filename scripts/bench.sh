#!/usr/bin/env bash
# Builds the engine's benchmark program and prints the throughput table:
# the engine's one flushed pass against dd (the device limit) and GNU shred,
# on 64 MiB, 256 MiB and 1 GiB files in the build folder. Options go to
# bench/run_bench.py (--sizes, --runs, --dir).
set -euo pipefail
source "$(dirname "$0")/setup.sh"
grindlet_setup
grindlet_build x86_64 shred_bench >/dev/null
mkdir -p "$GRINDLET_ROOT/build/bench"
python3 "$GRINDLET_ROOT/bench/run_bench.py" "$GRINDLET_ROOT/build/x86_64/bench/shred_bench.exe" \
    --dir "$GRINDLET_ROOT/build/bench" "$@"
