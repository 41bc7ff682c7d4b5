#pragma once

#include <windows.h>

// Overwrites the whole file behind `file` (open for writing) `passes` times
// with the repetition unit of `pattern` (its characters and terminating zero
// byte) laid from offset 0 and cut at the end of the file. The size is taken
// anew for every pass, and every pass is handed to the storage device before
// the next one starts. False as soon as a step fails.
// After each block, `written` (when given) is told its size; false from it
// stops the overwrite there, and the result is false.
typedef bool (*BlockWritten)(void* context, unsigned long long bytes);
bool OverwriteFile(HANDLE file, const char* pattern, int passes, BlockWritten written = nullptr,
                   void* context = nullptr);
