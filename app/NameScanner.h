#pragma once

#include <cstddef>
#include <cstring>

// Size of every path buffer of the program, terminator included.
const std::size_t PathBufferSize = 5200;

// Splits the argument text into names and hands them over one at a time, in
// order. Only the blank and the double quote separate: a quoted name keeps its
// blanks and ends at the next quote, a quote inside a plain name ends it and
// is dropped, a tab is an ordinary byte, and there is no escape. The end of
// the text takes a name still being read; empty quotes give an empty name.
//
// Each name is copied into CurrentFile before takeName(true) is called. A name
// too long for the buffer is not copied: CurrentFile is left empty and
// takeName(false) is called instead.
template <typename TakeName>
void ScanNames(const char* arguments, char (&CurrentFile)[PathBufferSize], TakeName takeName)
{
    int scanIndex = 0;
    int startIndex = 0;
    bool inName = false;
    bool inQuotes = false;
    for (;; ++scanIndex)
    {
        const char byte = arguments[scanIndex];
        if (!inName)
        {
            if (byte == '\0')
                return;
            if (byte == '"')
            {
                startIndex = scanIndex + 1;
                inName = inQuotes = true;
            }
            else if (byte != ' ')
            {
                startIndex = scanIndex;
                inName = true;
            }
            continue;
        }
        if (byte != '\0' && byte != '"' && (byte != ' ' || inQuotes))
            continue;

        const std::size_t length = static_cast<std::size_t>(scanIndex - startIndex);
        const bool fits = length < PathBufferSize;
        if (fits)
            std::memcpy(CurrentFile, arguments + startIndex, length);
        CurrentFile[fits ? length : 0] = '\0';
        takeName(fits);
        inName = inQuotes = false;
        if (byte == '\0')
            return;
    }
}
