#include "shred/NamedPath.h"

#include <windows.h>

#include <cwctype>
#include <vector>

namespace
{
const wchar_t ExtendedPrefix[] = L"\\\\?\\";
const wchar_t DevicePrefix[] = L"\\\\.\\";

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

// MB_ERR_INVALID_CHARS makes a byte sequence that the code page does not
// define fail instead of turning into U+FFFD, which would name nothing the
// user chose.
bool ToWide(const char* text, std::wstring& out)
{
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 1)
        return false;
    std::vector<wchar_t> wide(static_cast<std::size_t>(length));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length) != length)
        return false;
    out.assign(wide.data(), static_cast<std::size_t>(length - 1));
    return true;
}

// GetFullPathNameW resolves "." and "..", the current folder and a drive's
// own current folder, and drops trailing dots and blanks of the last name.
bool FullPath(const std::wstring& path, std::wstring& out)
{
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return false;
    std::vector<wchar_t> full(size);
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return false;
    out.assign(full.data(), length);
    return true;
}

// "X:" at the start: what follows it is relative to that drive's current
// folder when no separator follows.
std::size_t DrivePrefixLength(const std::wstring& path)
{
    return path.size() >= 2 && path[1] == L':' && std::iswalpha(path[0]) ? 2 : 0;
}

bool IsDotsOnly(const std::wstring& name)
{
    return name.find_first_not_of(L'.') == std::wstring::npos;
}

// Characters that no name in a folder can hold; '?' is also what a character
// the code page lacks becomes.
bool IsPossibleName(const std::wstring& name)
{
    return name.find_first_of(L":*?\"<>|") == std::wstring::npos;
}

std::wstring Extended(const std::wstring& full)
{
    if (StartsWith(full, ExtendedPrefix))
        return full;
    if (full.size() >= 2 && IsSeparator(full[0]) && IsSeparator(full[1]))
        return std::wstring(ExtendedPrefix) + L"UNC\\" + full.substr(2);
    return ExtendedPrefix + full;
}

// A full folder path that ends in a separator, in the "\\?\" form; false
// for "\\server\", which is no folder of its own.
bool ExtendedFolder(const std::wstring& folder, std::wstring& out)
{
    if (!StartsWith(folder, ExtendedPrefix) && folder.size() >= 2 && IsSeparator(folder[0]) &&
        IsSeparator(folder[1]))
    {
        std::size_t separators = 0;
        for (const wchar_t c : folder)
            separators += IsSeparator(c) ? 1 : 0;
        if (separators < 4)
            return false;
    }
    out = Extended(folder);
    return true;
}

// Splits a full path after its last separator; false for a root.
bool SplitFull(const std::wstring& full, NamedPath& out)
{
    std::size_t end = full.size();
    while (end > 0 && IsSeparator(full[end - 1]))
        --end;
    std::size_t begin = end;
    while (begin > 0 && !IsSeparator(full[begin - 1]))
        --begin;
    if (begin == 0 || begin == end)
        return false;
    out.Name = full.substr(begin, end - begin);
    return IsPossibleName(out.Name) && !IsDotsOnly(out.Name) &&
           ExtendedFolder(full.substr(0, begin), out.Folder);
}
} // namespace

bool SplitNamedPath(const char* path, NamedPath& out)
{
    std::wstring wide;
    if (!path || !ToWide(path, wide))
        return false;
    std::wstring full;
    if (StartsWith(wide, DevicePrefix) || !FullPath(wide, full) || StartsWith(full, DevicePrefix))
        return false;

    // The last name as given, so that trailing dots and blanks survive.
    std::size_t end = wide.size();
    while (end > 0 && IsSeparator(wide[end - 1]))
        --end;
    const std::size_t drive = DrivePrefixLength(wide);
    std::size_t begin = end;
    while (begin > drive && !IsSeparator(wide[begin - 1]))
        --begin;
    const std::wstring name = wide.substr(begin, end - begin);
    if (begin == end || IsDotsOnly(name) || StartsWith(wide, ExtendedPrefix))
        return SplitFull(full, out);

    std::wstring folder;
    if (!FullPath(begin == 0 ? std::wstring(L".") : wide.substr(0, begin), folder))
        return false;
    if (!folder.empty() && !IsSeparator(folder.back()))
        folder += L'\\';
    out.Name = name;
    return IsPossibleName(name) && ExtendedFolder(folder, out.Folder);
}
