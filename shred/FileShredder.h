#pragma once

#include <cstdint>
#include <string>

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

// How far one shred has come: bytes written of the bytes all its passes will
// write, and files begun of the files it holds. The totals are counted by a
// listing pass before anything is written.
struct ShredCount
{
    unsigned long long BytesDone;
    unsigned long long BytesTotal;
    unsigned long FilesDone;
    unsigned long FilesTotal;
};

// The caller's side of a shred that tells how far it has come: Tell is called
// before each file and between blocks of its passes, with the item being
// written; false from it stops the shred before its next block. The file
// being written then keeps its name, partly overwritten, nothing after it is
// touched, and the shred fails.
class ShredProgress
{
public:
    typedef bool (*TellFunction)(void* context, const ShredCount& count, const std::wstring& path);

    ShredProgress(TellFunction tell, void* context) : Tell(tell), Context(context) {}

    bool Report(const ShredCount& count, const std::wstring& path) const
    {
        return Tell(Context, count, path);
    }

private:
    TellFunction Tell;
    void* Context;
};

// Overwrites a file with a repeating pattern and deletes it, or walks a
// folder depth first, shreds everything in it and removes it.
//
// The repetition unit is the pattern with its terminating zero byte, laid
// from offset 0 and cut at the end of the file. A null or empty message
// selects the pattern "FileGrindlet!". A pass count of 0 or less means one
// pass. Each pass is handed to the storage device before the next.
//
// The named path is made full once; every item is then opened once, below a
// folder held open, and whatever is done to it goes through that handle. An
// item that is not the one its folder listed (swapped meanwhile, or reached
// through a link) is left alone and fails. Links (symbolic links, junctions,
// mount points) are never followed or written through: the link itself is
// removed where the platform lets it be, else it stays and fails. A file with
// more than one link (its data shared with names outside the selection) and
// anything that is not a file or folder on a disk is refused.
//
// A shredded file, and a folder once its walk has emptied it, is moved to a
// random name of letters and digits as long as its own and removed under that
// name; when it cannot be removed it keeps its own name.
class FileShredder
{
public:
    bool Shred(const char* path, ShredPolicy policy, int passes, const char* message);
    // The same, telling `progress` how far it has come.
    bool Shred(const char* path, ShredPolicy policy, int passes, const char* message,
               const ShredProgress& progress);
};
