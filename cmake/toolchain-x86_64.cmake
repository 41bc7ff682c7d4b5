set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GRINDLET_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The test executables run under 64-bit Wine; 32-bit Wine cannot run on this
# kernel, so only this target's tests are executed.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
