#pragma once

#include <windows.h>

// Holds a named mutex of the session from construction to destruction,
// waiting as long as another process holds it. A mutex whose holder ended
// without releasing it (WAIT_ABANDONED) is held all the same. Without a
// mutex (creation failed) nothing is waited for.
class NamedMutex
{
public:
    explicit NamedMutex(const char* name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

private:
    HANDLE Handle;
    bool Held;
};
