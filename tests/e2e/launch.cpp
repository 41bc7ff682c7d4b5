// Starts a program with an exact command line, as the shell or another
// program would, and exits with its exit code. Wine's own launcher quotes
// arguments anew, so the tests hand the line over in a file:
//   launch A LINEFILE   the file's bytes, through CreateProcessA
//   launch W LINEFILE   the file's UTF-8 text, through CreateProcessW
// The program is the one the line names first; it inherits the launcher's
// current folder, and it ends when the launcher is ended.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
bool ReadFileBytes(const char* path, std::string& out)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    char chunk[4096];
    std::size_t read;
    while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        out.append(chunk, read);
    std::fclose(file);
    return true;
}

DWORD WaitForExit(const PROCESS_INFORMATION& process)
{
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

bool StartAnsi(std::string line, PROCESS_INFORMATION& process)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process) != 0;
}

bool StartWide(const std::string& utf8, PROCESS_INFORMATION& process)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1,
                                           nullptr, 0);
    if (length <= 0)
        return false;
    std::vector<wchar_t> line(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, line.data(), length);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process) != 0;
}
} // namespace

int main(int argc, char** argv)
{
    std::string line;
    if (argc != 3 || !ReadFileBytes(argv[2], line))
        return 2;
    // A job that ends its processes when its last handle closes: a test that
    // ends the launcher it started ends the program with it.
    const HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(job, GetCurrentProcess());
    PROCESS_INFORMATION process = {};
    const bool started = argv[1][0] == 'W' ? StartWide(line, process) : StartAnsi(line, process);
    if (!started)
    {
        std::fprintf(stderr, "cannot start: error %lu\n", GetLastError());
        return 3;
    }
    return static_cast<int>(WaitForExit(process));
}
