#pragma once

#include <windows.h>

// One open registry key, owned and closed by this object. Open and Create
// close the key held before. Create, and Open unless told otherwise, ask for
// KEY_ALL_ACCESS, which a key the user may only read refuses: a value that is
// only read is opened with KEY_READ. All strings go to the ANSI functions
// unchanged.
class Registry
{
public:
    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    bool Open(const char* subKey, HKEY root, REGSAM access = KEY_ALL_ACCESS);
    // Opens the key, creating it and any missing keys above it on the path.
    bool Create(const char* subKey, HKEY root);
    void Close();

    // Finds the value by enumeration (a null name finds the key's default
    // value; names compare case-sensitively) and copies its data as a string:
    // up to the first zero byte or the end of the data, at most size - 1
    // bytes, then a zero. A value whose name or data does not fit in size
    // bytes ends the search. On failure the buffer is left as it was.
    bool ReadString(const char* name, char* buffer, DWORD size);
    // Stores text as REG_SZ with its terminator; a null name sets the default.
    bool WriteString(const char* name, const char* text);
    // RegDeleteKeyA deletes only a key that has no sub-keys of its own.
    bool DeleteSubKey(const char* name);

private:
    HKEY Key;
};
