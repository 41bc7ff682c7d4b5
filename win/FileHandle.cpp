#include "win/FileHandle.h"

#include <utility>

FileHandle::~FileHandle()
{
    Close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept : Handle(other.Handle)
{
    other.Handle = INVALID_HANDLE_VALUE;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other)
    {
        Close();
        Handle = std::exchange(other.Handle, INVALID_HANDLE_VALUE);
    }
    return *this;
}

void FileHandle::Close()
{
    if (Handle != INVALID_HANDLE_VALUE)
        CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
}
