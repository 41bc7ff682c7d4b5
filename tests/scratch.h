#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// A fresh folder under the temporary folder, removed with everything in it
// (attributes reset first) when the object goes.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return Root; }
    std::string operator/(const std::string& name) const { return Root + "\\" + name; }

private:
    std::string Root;
};

void RemoveTree(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
std::optional<std::string> ReadBytes(const std::string& path);
// The names a folder lists, without "." and "..".
std::vector<std::string> ListNames(const std::string& folder);
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);

// The bytes a shredded file of `size` bytes must hold: the pattern and its
// terminating zero, repeated from offset 0 and cut at the end.
std::string PatternBytes(const std::string& pattern, std::size_t size);

// Holds a file or folder open with the given sharing, as another program would.
class HeldFile
{
public:
    HeldFile(const std::string& path, DWORD share);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool IsOpen() const { return Handle != INVALID_HANDLE_VALUE; }
    // Reads `length` bytes at `offset` through this handle.
    std::string ReadAt(long long offset, std::size_t length) const;

private:
    HANDLE Handle;
};
