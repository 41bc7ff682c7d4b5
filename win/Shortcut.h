#pragma once

#include <windows.h>

// Writes a shell shortcut at `link` that points at `target` and carries
// `description`, through the platform's shell link object; COM must be
// initialised on the calling thread. Returns the failure of creating the link
// object or of asking it for its file interface, or else the result of
// saving. A link path longer than MAX_PATH - 1 UTF-16 units is refused with
// a failure before anything is saved.
HRESULT CreateShortcut(const char* target, const char* link, const char* description);
