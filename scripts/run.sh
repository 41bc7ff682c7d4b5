#!/usr/bin/env bash
# Builds Grindlet and runs it under Wine on the paths given, as the Send To
# menu would start it. With no paths it starts the installation mode.
#
# The dialogs appear on $DISPLAY when one is set (GRINDLET_KEEP_DISPLAY=1 is
# implied); otherwise on a private virtual display, where they can be answered
# with xdotool.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
[ -n "${DISPLAY:-}" ] && export GRINDLET_KEEP_DISPLAY=1
grindlet_setup
grindlet_build x86_64 Grindlet >/dev/null
echo "Grindlet runs on display $DISPLAY"
names=()
for path in "$@"; do
    names+=("$(winepath -w "$(realpath -m "$path")" 2>/dev/null)")
done
"$GRINDLET_WINE" "$GRINDLET_ROOT/build/x86_64/Grindlet.exe" "${names[@]}"
echo "Grindlet ended with exit code $?"
