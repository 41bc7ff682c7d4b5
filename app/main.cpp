#include "app/ArgumentText.h"
#include "app/Shredding.h"
#include "install/Installation.h"
#include "win/Registry.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace
{
// Libraries that are loaded by name later (by the shell, COM and the common
// controls) come from the system folder only, never from the folder the
// program was started from, where anybody may have put a file of that name.
// Systems before Windows 8 without KB2533623 lack the call.
void LoadLibrariesFromSystemFolderOnly()
{
    typedef BOOL(WINAPI * SetDirectories)(DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto set = reinterpret_cast<SetDirectories>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set)
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
} // namespace

// The argument text is made here from the process's own command line: the C
// runtime's start-up compares its bytes as signed chars and treats a quoted
// program name differently, and its text has gone through a best-fit
// conversion. No arguments: the installation mode; "-kill" first: the
// self-removal run; anything else: a list of names to shred. The exit code is
// 0 whatever happened.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    LoadLibrariesFromSystemFolderOnly();
    Registry registry;
    char CurrentFile[PathBufferSize];
    const std::string commandLine = CommandLineInCodePage();
    const char* arguments = ArgumentText(commandLine.c_str());

    CoInitialize(nullptr);
    if (!*arguments)
    {
        ManageInstallation(registry);
    }
    else if (std::strncmp(arguments, "-kill", std::strlen("-kill")) == 0)
    {
        // The self-removal run leaves COM initialised, as the process ends.
        RemoveInstallation(registry);
        return 0;
    }
    else
    {
        ShredNamedFiles(arguments, CurrentFile);
    }
    CoUninitialize();
    return 0;
}
