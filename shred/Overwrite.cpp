#include "shred/Overwrite.h"

#include "win/HeapChars.h"

#include <cstring>

namespace
{
// Writes go out in blocks of whole repetition units of about this size, so
// that the cost of each call into the system stays small next to the copying
// of its bytes.
const std::size_t BlockTarget = 1024 * 1024;

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

long long MeasureAndRewind(HANDLE file)
{
    LARGE_INTEGER size;
    LARGE_INTEGER start;
    start.QuadPart = 0;
    if (!GetFileSizeEx(file, &size) || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return -1;
    return size.QuadPart;
}

bool WriteAll(HANDLE file, const char* bytes, DWORD length)
{
    while (length > 0)
    {
        DWORD written = 0;
        if (!WriteFile(file, bytes, length, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        length -= written;
    }
    return true;
}

// FlushFileBuffers puts the file's data on the device: without it a delete
// right after the close can drop the new bytes before they are written and
// leave the old ones on the disk.
bool OverwritePass(HANDLE file, const char* pattern, BlockWritten written, void* context)
{
    long long remaining = MeasureAndRewind(file);
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
        if (!WriteAll(file, block.Data(), static_cast<DWORD>(chunk)))
            return false;
        remaining -= static_cast<long long>(chunk);
        if (written && !written(context, chunk))
            return false;
    }
    return FlushFileBuffers(file) != 0;
}
} // namespace

bool OverwriteFile(HANDLE file, const char* pattern, int passes, BlockWritten written,
                   void* context)
{
    for (int pass = 0; pass < passes; ++pass)
        if (!OverwritePass(file, pattern, written, context))
            return false;
    return true;
}
