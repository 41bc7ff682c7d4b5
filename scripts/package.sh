#!/usr/bin/env bash
# Builds the shipped 32-bit program and makes its package with CPack:
# build/package/Grindlet-VERSION-win32.zip (the program, its SHA-256 file and
# the README) and the package's own SHA-256 file beside it.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
grindlet_install_packages
grindlet_build i686 Grindlet
cpack --config "$GRINDLET_ROOT/build/i686/CPackConfig.cmake" -B "$GRINDLET_ROOT/build/package" >/dev/null
ls "$GRINDLET_ROOT"/build/package/Grindlet-*.zip*
