#!/usr/bin/env bash
# Builds Grindlet and runs it under Wine on the paths given, as the Send To
# menu would start it. With no paths it starts the installation mode.
#
# With $DISPLAY set, the dialogs appear there. Without one, they are shown on
# a private virtual display and relayed to this terminal: each window's
# title, message and buttons, answered by typing the button's key (and
# Enter); "esc" presses Escape and the end of input closes the window. A
# screenshot of each window is saved under build/run-shots.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
relay=1
if [ -n "${DISPLAY:-}" ]; then
    export GRINDLET_KEEP_DISPLAY=1
    relay=
fi
grindlet_setup
grindlet_build x86_64 Grindlet >/dev/null
[ -n "$relay" ] && grindlet_build x86_64 wininfo >/dev/null
names=()
for path in "$@"; do
    names+=("$("$GRINDLET_WINE" winepath -w "$(realpath -m "$path")" 2>/dev/null)")
done
program="$GRINDLET_ROOT/build/x86_64/Grindlet.exe"
if [ -n "$relay" ]; then
    python3 "$GRINDLET_ROOT/scripts/relay.py" "$program" \
        "$GRINDLET_ROOT/build/x86_64/tests/wininfo.exe" "$GRINDLET_ROOT/build/run-shots" "${names[@]}"
else
    echo "Grindlet runs on display $DISPLAY"
    status=0
    "$GRINDLET_WINE" "$program" "${names[@]}" || status=$?
    echo "Grindlet ended with exit code $status"
fi
