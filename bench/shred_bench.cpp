// Times one shred of a file by the engine inside the process, so that the
// start-up of the program (and of Wine) is left out: one pass of the default
// pattern handed to the device, the move to a random name and the deletion,
// as the program does them.
//
// The file is held open, sharing everything, while the engine works on it: the
// deletion then only marks it, and the file system frees its blocks when the
// holder closes it. The two are timed apart, since freeing a large file's
// blocks costs the file system as much as a good part of the pass.
//
// Usage: shred_bench PATH  prints the seconds of the shred and of the freeing;
//                          the exit code is 0 only when the shred succeeded and
//                          the file is gone, so that a failed shred is never
//                          timed.
//        shred_bench PATH progress
//                          the same with a progress function that does what
//                          the program's does before its window appears.
//        shred_bench       does nothing, for timing the start-up alone.
#include "shred/FileShredder.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace
{
double Now()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Tell(void* context, const ShredCount& count, const std::wstring&)
{
    return GetTickCount64() - *static_cast<ULONGLONG*>(context) < 3600000 ||
           count.BytesDone == count.BytesTotal;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 0;
    const char* path = argv[1];
    HANDLE holder = CreateFileA(path, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (holder == INVALID_HANDLE_VALUE)
    {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    ULONGLONG started = GetTickCount64();
    const bool telling = argc > 2 && std::string(argv[2]) == "progress";
    const double start = Now();
    const bool shredded = telling ? FileShredder().Shred(path, 0, 1, nullptr,
                                                         ShredProgress(&Tell, &started))
                                  : FileShredder().Shred(path, 0, 1, nullptr);
    const double shredEnd = Now();
    CloseHandle(holder);
    const double freeEnd = Now();
    if (!shredded || GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
    {
        std::fprintf(stderr, "%s was not shredded\n", path);
        return 1;
    }
    std::printf("%.6f %.6f\n", shredEnd - start, freeEnd - shredEnd);
    return 0;
}
