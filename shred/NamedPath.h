#pragma once

#include <string>

// A path as the caller named it, taken apart once into the full path of the
// folder that holds the item and the item's own name in that folder. Every
// later step uses these two, so the item that is checked is the item that is
// shredded.
struct NamedPath
{
    // The holding folder's full path in the "\\?\" form, which the platform
    // takes as it stands.
    std::wstring Folder;
    // The item's name exactly as given: trailing dots and blanks are kept,
    // where the platform's path rules would drop them and reach another item.
    std::wstring Name;
};

// Converts the name from the ANSI code page without any loss and splits it.
// A relative name is made full against the current folder, and a
// drive-relative one ("X:" or "X:name") against the current folder of that
// drive. Refused (false): a name that does not convert exactly, a device
// ("NUL", "CON", "COM1", any "\\.\" name), a drive's or share's root (it has
// no folder to be removed from), and a final name that holds a colon (a
// stream) or a character that no file name can hold.
bool SplitNamedPath(const char* path, NamedPath& out);
