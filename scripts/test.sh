#!/usr/bin/env bash
# Builds both targets and runs every test under Wine on a virtual display.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
grindlet_setup
grindlet_build i686 all
grindlet_build x86_64 all -DGRINDLET_I686_EXE="$GRINDLET_ROOT/build/i686/Grindlet.exe"
ctest --test-dir "$GRINDLET_ROOT/build/x86_64" --output-on-failure
