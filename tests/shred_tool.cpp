// Shreds one path with the engine and reports the result as the exit code
// (0 shredded, 1 not), for tests that prepare files on the Linux side.
// Usage: shred_tool PATH [POLICY [PASSES [MESSAGE]]]
#include "shred/FileShredder.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const ShredPolicy policy = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 0;
    const int passes = argc > 3 ? std::atoi(argv[3]) : 1;
    const char* message = argc > 4 ? argv[4] : nullptr;
    return FileShredder().Shred(argv[1], policy, passes, message) ? 0 : 1;
}
