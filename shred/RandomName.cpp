#include "shred/RandomName.h"

#include <windows.h>
#include <ntsecapi.h>

#include <vector>

namespace
{
const char NameAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
} // namespace

std::size_t CharacterCount(const std::wstring& name)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < name.size(); ++at, ++count)
    {
        if (IsHighSurrogate(name[at]) && at + 1 < name.size() && IsLowSurrogate(name[at + 1]))
            ++at;
    }
    return count;
}

std::wstring DrawRandomName(const std::wstring& name)
{
    const std::size_t length = CharacterCount(name);
    std::vector<unsigned char> random(length);
    if (length > ~ULONG(0) || !RtlGenRandom(random.data(), static_cast<ULONG>(length)))
        return std::wstring();
    std::wstring drawn(length, L'\0');
    for (std::size_t at = 0; at < length; ++at)
        drawn[at] = static_cast<wchar_t>(NameAlphabet[random[at] % (sizeof NameAlphabet - 1)]);
    return drawn;
}
