#include "app/Shredding.h"
#include "install/Installation.h"
#include "win/Registry.h"

#include <windows.h>

#include <cstring>

// The start-up hands over the command line less the program's own name and
// the blanks after it. No arguments: the installation mode; "-kill" first:
// the self-removal run; anything else: a list of names to shred. The exit
// code is 0 whatever happened.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    Registry registry;
    char CurrentFile[PathBufferSize];

    CoInitialize(nullptr);
    if (!lpCmdLine || !*lpCmdLine)
    {
        ManageInstallation(registry);
    }
    else if (std::strncmp(lpCmdLine, "-kill", std::strlen("-kill")) == 0)
    {
        // The self-removal run leaves COM initialised, as the process ends.
        RemoveInstallation(registry);
        return 0;
    }
    else
    {
        ShredNamedFiles(lpCmdLine, CurrentFile);
    }
    CoUninitialize();
    return 0;
}
