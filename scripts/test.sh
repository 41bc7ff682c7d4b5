#!/usr/bin/env bash
# Builds both targets and runs every test under Wine on a virtual display:
# the 64-bit build under the host's Wine 8, the shipped 32-bit build under
# Wine 10 in WoW64 mode. Either suite failing fails the run.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
grindlet_setup
grindlet_setup_wow64
grindlet_build i686 all \
    -DGRINDLET_PLATFORM=i686-wine10-wow64 \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$GRINDLET_WOW64_WINE" \
    -DGRINDLET_WINE="$GRINDLET_WOW64_WINE" -DGRINDLET_WINEPREFIX="$GRINDLET_WOW64_PREFIX"
grindlet_build x86_64 all \
    -DGRINDLET_PLATFORM=x86_64-wine8 \
    -DGRINDLET_WINE="$GRINDLET_WINE" -DGRINDLET_WINEPREFIX="$WINEPREFIX" \
    -DGRINDLET_I686_EXE="$GRINDLET_ROOT/build/i686/Grindlet.exe"
status=0
ctest --test-dir "$GRINDLET_ROOT/build/x86_64" --output-on-failure || status=1
ctest --test-dir "$GRINDLET_ROOT/build/i686" --output-on-failure || status=1
exit $status
