#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Flags that decide which items the shredder may touch. A policy of 0 means
// ShredDefaults; under ShredDefaults every "allow" bit is ignored.
typedef std::uint32_t ShredPolicy;

enum : ShredPolicy
{
    ShredDefaults = 0x01,
    ShredAllowHidden = 0x10,
    ShredAllowReadOnly = 0x20,
    ShredAllowSystem = 0x40,
};

// Overwrites a file with a repeating pattern and deletes it, or walks a
// folder depth first, shreds everything in it and removes it.
//
// The repetition unit is the pattern with its terminating zero byte, laid
// from offset 0 and cut at the end of the file. A null or empty message
// selects the pattern "FileGrindlet!". A pass count of 0 or less means one
// pass. Each pass is handed to the storage device before the file is closed.
//
// A shredded file, and a folder once its walk has emptied it, is moved to a
// random name of letters and digits as long as its own and removed under that
// name; one that cannot be moved is removed under its own name.
//
// Links (reparse points: junctions, symbolic links, mount points) are never
// followed or written through; only the link itself is removed.
class FileShredder
{
public:
    bool Shred(const char* path, ShredPolicy policy, int passes, const char* message);

private:
    bool ShredFolder(const char* path, ShredPolicy policy, int passes, const char* message);
    bool ShredEntries(const char* path, HANDLE search, WIN32_FIND_DATAA& FindFileData,
                      char* entryPath, std::size_t entryPathSize, ShredPolicy policy, int passes,
                      const char* message);
};
