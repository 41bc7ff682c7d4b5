// Shreds one path with the engine and reports the result as the exit code
// (0 shredded, 1 not), for tests that prepare files on the Linux side.
// Usage: shred_tool PATH [POLICY [PASSES [MESSAGE]]]
// GRINDLET_DRIVE_FOLDER="X:\folder" makes that the current folder of drive X,
// as a shell that has been there keeps it, for drive-relative names.
#include "shred/FileShredder.h"

#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    if (const char* driveFolder = std::getenv("GRINDLET_DRIVE_FOLDER"))
    {
        const std::string variable = std::string("=") + std::string(driveFolder, 2);
        SetEnvironmentVariableA(variable.c_str(), driveFolder);
    }
    const ShredPolicy policy = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 0;
    const int passes = argc > 3 ? std::atoi(argv[3]) : 1;
    const char* message = argc > 4 ? argv[4] : nullptr;
    return FileShredder().Shred(argv[1], policy, passes, message) ? 0 : 1;
}
