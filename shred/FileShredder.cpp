#include "shred/FileShredder.h"

#include "win/HeapChars.h"

#include <windows.h>
#include <ntsecapi.h>

#include <cstdio>
#include <cstring>
#include <io.h>

namespace
{
const char DefaultPattern[] = "FileGrindlet!";

// Room a folder's work buffer keeps beyond the folder path: enough for the
// separator, any name the listing can return and the terminator.
const std::size_t EntryRoom = 5200;

// Writes go out in blocks of whole repetition units of about this size, so
// that the cost of each call through the C runtime and the system stays small
// next to the copying of its bytes.
const std::size_t BlockTarget = 1024 * 1024;

// What a shredded item's new name is drawn from, and how many draws may meet
// an existing name before the item is removed under its own name instead.
const char NameAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const int NameDraws = 1000;

// Attribute bit that the platform reserves; an item carrying it is refused.
const DWORD ReservedAttribute = 0x40;

const ShredPolicy DefaultsClear = 0x02 | 0x04 | 0x08 | ShredAllowHidden | ShredAllowReadOnly |
                                  ShredAllowSystem;

ShredPolicy NormalisedPolicy(ShredPolicy policy)
{
    if (policy == 0)
        policy = ShredDefaults;
    if (policy & ShredDefaults)
        policy &= ~DefaultsClear;
    return policy;
}

// Refuses an item that carries `attribute` unless the policy has `allowBit`;
// an allowed item has all its attributes reset, which must succeed.
bool AdmitAttribute(const char* path, DWORD attributes, DWORD attribute, ShredPolicy policy,
                    ShredPolicy allowBit)
{
    if (!(attributes & attribute))
        return true;
    if (!(policy & allowBit))
        return false;
    return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0;
}

bool IsPseudoEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// A link is removed as a link: RemoveDirectoryA on a directory link and
// DeleteFileA on a file link act on the link and never on its target.
bool RemoveLink(const char* path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return RemoveDirectoryA(path) != 0;
    return DeleteFileA(path) != 0;
}

// One stream over a file opened for update. The C runtime opens it sharing
// reading and writing with other handles, but not deletion.
class UpdateStream
{
public:
    explicit UpdateStream(const char* path) : Stream(std::fopen(path, "r+b")) {}
    ~UpdateStream()
    {
        if (Stream)
            std::fclose(Stream);
    }
    UpdateStream(const UpdateStream&) = delete;
    UpdateStream& operator=(const UpdateStream&) = delete;

    FILE* Get() const { return Stream; }

private:
    FILE* Stream;
};

// The repetition unit laid end to end in a block of whole units, so that
// consecutive blocks continue the pattern without a seam. A small file gets a
// block no larger than itself (rounded up to whole units), so that a folder of
// small files does not cost a full block each.
class PatternBlock
{
public:
    PatternBlock(const char* pattern, long long fileSize)
    {
        const std::size_t unit = std::strlen(pattern) + 1;
        const std::size_t wanted = fileSize < static_cast<long long>(BlockTarget)
                                       ? static_cast<std::size_t>(fileSize)
                                       : BlockTarget;
        const std::size_t units = wanted <= unit ? 1 : (wanted + unit - 1) / unit;
        Size = units * unit;
        Bytes = AllocateChars(Size);
        if (!Bytes)
            return;
        for (std::size_t offset = 0; offset < Size; offset += unit)
            std::memcpy(Bytes.get() + offset, pattern, unit);
    }

    bool Allocated() const { return Bytes != nullptr; }
    const char* Data() const { return Bytes.get(); }
    std::size_t Length() const { return Size; }

private:
    HeapChars Bytes;
    std::size_t Size;
};

long long MeasureAndRewind(FILE* stream)
{
    if (_fseeki64(stream, 0, SEEK_END) != 0)
        return -1;
    const long long size = _ftelli64(stream);
    if (size < 0 || _fseeki64(stream, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

// The stream's buffer goes to the system with fflush, and _commit asks the
// system (FlushFileBuffers) to put the file's data on the device: without it a
// delete right after the close can drop the new bytes before they are written
// and leave the old ones on the disk.
bool HandToDevice(FILE* stream)
{
    return std::fflush(stream) == 0 && _commit(_fileno(stream)) == 0;
}

bool OverwritePass(const char* path, const char* pattern)
{
    UpdateStream file(path);
    if (!file.Get())
        return false;
    long long remaining = MeasureAndRewind(file.Get());
    if (remaining < 0)
        return false;
    const PatternBlock block(pattern, remaining);
    if (!block.Allocated())
        return false;
    while (remaining > 0)
    {
        const std::size_t chunk = remaining < static_cast<long long>(block.Length())
                                      ? static_cast<std::size_t>(remaining)
                                      : block.Length();
        if (std::fwrite(block.Data(), 1, chunk, file.Get()) != chunk)
            return false;
        remaining -= static_cast<long long>(chunk);
    }
    return HandToDevice(file.Get());
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Where the final name of a path lies: the last run of characters between
// separators, trailing separators left out. A run that holds a colon is a
// drive ("C:"), a drive-relative name ("C:name") or a stream ("file:stream"),
// not a name in a folder, and gives an empty span. The scan steps by
// characters of the ANSI code page, so that a trail byte equal to a backslash
// is not taken for a separator.
struct NameSpan
{
    std::size_t Begin;
    std::size_t End;
};

NameSpan FinalName(const char* path)
{
    NameSpan name = {0, 0};
    bool inName = false;
    bool colon = false;
    for (const char* at = path; *at; at = CharNextA(at))
    {
        const std::size_t offset = static_cast<std::size_t>(at - path);
        if (IsSeparator(*at))
        {
            inName = false;
            continue;
        }
        if (!inName)
        {
            inName = true;
            colon = false;
            name.Begin = offset;
        }
        colon = colon || *at == ':';
        name.End = colon ? name.Begin : static_cast<std::size_t>(CharNextA(at) - path);
    }
    return name;
}

// "." and ".." (and any other run of dots) name a folder relative to another
// and are no name of their own.
bool IsOwnName(const char* path, NameSpan name)
{
    for (std::size_t at = name.Begin; at < name.End; ++at)
        if (path[at] != '.')
            return true;
    return false;
}

bool DrawName(char* name, std::size_t length)
{
    if (length > ~ULONG(0) || !RtlGenRandom(name, static_cast<ULONG>(length)))
        return false;
    for (std::size_t at = 0; at < length; ++at)
        name[at] = NameAlphabet[static_cast<unsigned char>(name[at]) % (sizeof NameAlphabet - 1)];
    return true;
}

// Moves the item to a name of random letters and digits as long as its own, in
// the same folder. MoveFileA never replaces an existing item here: an existing
// name (compared without case, as the file system does) makes it fail, and
// another name is drawn. A name that differs from the item's own only in case
// would be a rename to the same name, so it is drawn again as well. The result
// is the new path, or null when the item keeps its name.
HeapChars MoveToRandomName(const char* path)
{
    const NameSpan name = FinalName(path);
    if (!IsOwnName(path, name))
        return HeapChars();
    const std::size_t size = std::strlen(path) + 1;
    HeapChars moved = AllocateChars(size);
    if (!moved)
        return moved;
    std::memcpy(moved.get(), path, size);
    char* const newName = moved.get() + name.Begin;
    const std::size_t length = name.End - name.Begin;
    for (int draw = 0; draw < NameDraws; ++draw)
    {
        if (!DrawName(newName, length))
            break;
        if (_strnicmp(newName, path + name.Begin, length) == 0)
            continue;
        if (MoveFileA(path, moved.get()))
            return moved;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            break;
    }
    return HeapChars();
}

// A deleted item's name stays readable in its folder's index on the disk, so
// the item is first moved to a random name and removed under that one. When
// it cannot be moved it is removed under its own name; when it was moved but
// cannot be removed it gets its own name back, so that what stays (a file
// held open, a folder that is not empty) stays where the user left it.
typedef BOOL(WINAPI* RemoveCall)(LPCSTR);

void RemoveUnderRandomName(const char* path, RemoveCall remove)
{
    const HeapChars moved = MoveToRandomName(path);
    if (!moved)
    {
        remove(path);
        return;
    }
    if (!remove(moved.get()))
        MoveFileA(moved.get(), path);
}

bool ShredFile(const char* path, int passes, const char* message)
{
    if (!UpdateStream(path).Get())
        return false;
    const char* const pattern = message && *message ? message : DefaultPattern;
    for (int pass = 0; pass < passes; ++pass)
        if (!OverwritePass(path, pattern))
            return false;
    RemoveUnderRandomName(path, DeleteFileA);
    return true;
}

class SearchHandle
{
public:
    explicit SearchHandle(HANDLE handle) : Handle(handle) {}
    ~SearchHandle()
    {
        if (Handle != INVALID_HANDLE_VALUE)
            FindClose(Handle);
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;

    HANDLE Get() const { return Handle; }

private:
    HANDLE Handle;
};
} // namespace

bool FileShredder::Shred(const char* path, ShredPolicy policy, int passes, const char* message)
{
    policy = NormalisedPolicy(policy);
    if (passes <= 0)
        passes = 1;

    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & (ReservedAttribute | FILE_ATTRIBUTE_OFFLINE))
        return false;
    if (!AdmitAttribute(path, attributes, FILE_ATTRIBUTE_HIDDEN, policy, ShredAllowHidden) ||
        !AdmitAttribute(path, attributes, FILE_ATTRIBUTE_READONLY, policy, ShredAllowReadOnly) ||
        !AdmitAttribute(path, attributes, FILE_ATTRIBUTE_SYSTEM, policy, ShredAllowSystem))
        return false;

    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return RemoveLink(path, attributes);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ShredFolder(path, policy, passes, message);
    return ShredFile(path, passes, message);
}

bool FileShredder::ShredFolder(const char* path, ShredPolicy policy, int passes,
                               const char* message)
{
    const std::size_t bufferSize = std::strlen(path) + EntryRoom;
    HeapChars buffer = AllocateChars(bufferSize);
    if (!buffer)
        return false;

    bool result;
    {
        WIN32_FIND_DATAA FindFileData;
        std::memset(&FindFileData, 0, sizeof FindFileData);
        std::snprintf(buffer.get(), bufferSize, "%s\\*.*", path);
        SearchHandle search(FindFirstFileA(buffer.get(), &FindFileData));
        if (search.Get() == INVALID_HANDLE_VALUE)
            return false;
        result = ShredEntries(path, search.Get(), FindFileData, buffer.get(), bufferSize, policy,
                              passes, message);
    }
    // An entry that failed always stays, so a failed folder cannot be removed
    // and keeps its name without a try.
    if (result)
        RemoveUnderRandomName(path, RemoveDirectoryA);
    else
        RemoveDirectoryA(path);
    return result;
}

// Shreds each listed entry but "." and "..", from the entry FindFirstFileA
// returned on. False when an entry fails, or when the listing breaks off with
// anything other than ERROR_NO_MORE_FILES (the unvisited entries then stay).
bool FileShredder::ShredEntries(const char* path, HANDLE search, WIN32_FIND_DATAA& FindFileData,
                                char* entryPath, std::size_t entryPathSize, ShredPolicy policy,
                                int passes, const char* message)
{
    bool result = true;
    do
    {
        if (IsPseudoEntry(FindFileData.cFileName))
            continue;
        std::snprintf(entryPath, entryPathSize, "%s\\%s", path, FindFileData.cFileName);
        if (!Shred(entryPath, policy, passes, message))
            result = false;
    } while (FindNextFileA(search, &FindFileData));
    return GetLastError() == ERROR_NO_MORE_FILES && result;
}
