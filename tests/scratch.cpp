#include "scratch.h"

#include <gtest/gtest.h>

#include <vector>

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter;
    for (;;)
    {
        Root = std::string(temp) + "grindlet-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++counter);
        if (CreateDirectoryA(Root.c_str(), nullptr))
            break;
    }
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(Root);
}

// The "\\?\" form keeps names that end in a dot or a blank, which the
// plain form would cut to another name.
void RemoveTree(const std::string& path)
{
    const std::string extended = "\\\\?\\" + path;
    const DWORD attributes = GetFileAttributesA(extended.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(extended.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        DeleteFileA(extended.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        for (const std::string& name : ListNames(path))
            RemoveTree(path + "\\" + name);
    }
    RemoveDirectoryA(extended.c_str());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << path;
}

std::optional<std::string> ReadBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

std::vector<std::string> ListNames(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return names;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
}

std::string PatternBytes(const std::string& pattern, std::size_t size)
{
    const std::string unit = pattern + '\0';
    std::string bytes;
    while (bytes.size() < size)
        bytes += unit;
    bytes.resize(size);
    return bytes;
}

HeldFile::HeldFile(const std::string& path, DWORD share)
    : Handle(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr))
{
}

HeldFile::~HeldFile()
{
    if (IsOpen())
        CloseHandle(Handle);
}

std::string HeldFile::ReadAt(long long offset, std::size_t length) const
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    SetFilePointerEx(Handle, position, nullptr, FILE_BEGIN);
    std::vector<char> buffer(length);
    DWORD got = 0;
    ReadFile(Handle, buffer.data(), static_cast<DWORD>(length), &got, nullptr);
    return std::string(buffer.data(), got);
}
