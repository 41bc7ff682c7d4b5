#include "win/NamedMutex.h"

NamedMutex::NamedMutex(const char* name)
    : Handle(CreateMutexA(nullptr, FALSE, name)), Held(false)
{
    if (!Handle)
        return;
    const DWORD wait = WaitForSingleObject(Handle, INFINITE);
    Held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

NamedMutex::~NamedMutex()
{
    if (Held)
        ReleaseMutex(Handle);
    if (Handle)
        CloseHandle(Handle);
}
