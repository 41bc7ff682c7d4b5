#pragma once

#include <windows.h>

// One kernel handle of a file, folder or device, owned and closed by this
// object. INVALID_HANDLE_VALUE stands for "none", as CreateFile returns it.
class FileHandle
{
public:
    FileHandle() : Handle(INVALID_HANDLE_VALUE) {}
    explicit FileHandle(HANDLE handle) : Handle(handle ? handle : INVALID_HANDLE_VALUE) {}
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;

    bool IsOpen() const { return Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return Handle; }
    void Close();

private:
    HANDLE Handle;
};
