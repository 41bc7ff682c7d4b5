#include "app/ArgumentText.h"

#include <windows.h>

#include <vector>

const char* ArgumentText(const char* commandLine)
{
    if (!commandLine)
        return "";
    const unsigned char* at = reinterpret_cast<const unsigned char*>(commandLine);
    if (*at == '"')
    {
        ++at;
        while (*at && *at != '"')
            ++at;
        if (*at == '"')
            ++at;
    }
    else
    {
        while (*at > ' ')
            ++at;
    }
    while (*at && *at <= ' ')
        ++at;
    return reinterpret_cast<const char*>(at);
}

// WC_NO_BEST_FIT_CHARS keeps WideCharToMultiByte from turning "ł" into "l"
// or a full-width quotation mark into a real one; UTF-8 takes no flags.
std::string CommandLineInCodePage()
{
    const wchar_t* line = GetCommandLineW();
    if (!line)
        return std::string();
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(CP_ACP, flags, line, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::vector<char> text(static_cast<std::size_t>(size));
    if (WideCharToMultiByte(CP_ACP, flags, line, -1, text.data(), size, nullptr, nullptr) != size)
        return std::string();
    return std::string(text.data());
}
