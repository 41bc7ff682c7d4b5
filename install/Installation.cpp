#include "install/Installation.h"

#include "app/Shredding.h"
#include "res/resource.h"
#include "shred/FileShredder.h"
#include "win/Dialog.h"
#include "win/NamedMutex.h"
#include "win/Shortcut.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
typedef char PathBuffer[PathBufferSize];

const char WindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char MakerKey[] = "Software\\Ostrivane";
const char RecordKey[] = "Software\\Ostrivane\\Grindlet";

const char NotInstalled[] = "Grindlet was NOT installed!";

// Installs and the self-removal run's shredding take turns under this mutex,
// so that a removal never shreds an install made while it was pending.
const char InstallationMutex[] = "Local\\Ostrivane.Grindlet.Installation";

const DWORD RemovalDelay = 2000;

// A value that cannot be read leaves the empty string. Values are only read,
// so the key is opened for reading: a normal user may not write the machine's
// keys, and asking for more would be refused.
void ReadValue(Registry& registry, HKEY root, const char* key, const char* name, PathBuffer& out)
{
    out[0] = '\0';
    if (!registry.Open(key, root, KEY_READ) || !registry.ReadString(name, out, PathBufferSize))
        out[0] = '\0';
}

// Appends a suffix unless the result would not fit; the caller then leaves
// out the steps that need the path.
bool Append(PathBuffer& path, const char* suffix)
{
    const std::size_t length = std::strlen(path);
    const std::size_t extra = std::strlen(suffix);
    if (length + extra >= PathBufferSize)
        return false;
    std::memcpy(path + length, suffix, extra + 1);
    return true;
}

bool InstallRecorded(Registry& registry)
{
    PathBuffer InstalledLocation;
    ReadValue(registry, HKEY_CURRENT_USER, RecordKey, nullptr, InstalledLocation);
    return InstalledLocation[0] != '\0';
}

void ReadBaseFolder(Registry& registry, PathBuffer& InstallLocation)
{
    ReadValue(registry, HKEY_LOCAL_MACHINE, WindowsKey, "ProgramFilesDir", InstallLocation);
}

void TellNotInstalled(const std::string& why)
{
    MessageBoxA(nullptr, why.c_str(), NotInstalled, MB_ICONERROR);
}

// A folder of its own, newly made under the temporary folder: nothing that
// was there before (a library placed beside the program, say) is beside the
// copy when it starts.
bool MakeOwnTemporaryFolder(PathBuffer& folder)
{
    PathBuffer temp;
    const DWORD length = GetTempPathA(PathBufferSize, temp);
    if (length == 0 || length >= PathBufferSize)
        return false;
    for (unsigned attempt = 0; attempt < 100; ++attempt)
    {
        const int written = std::snprintf(folder, PathBufferSize, "%sGrindlet-%lu-%lu-%u", temp,
                                          GetCurrentProcessId(), GetTickCount(), attempt);
        if (written <= 0 || written >= static_cast<int>(PathBufferSize))
            return false;
        if (CreateDirectoryA(folder, nullptr))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

// The copy that shreds the install folder once this program has ended; it is
// started only when the copy is complete.
void StartSelfRemoval(const PathBuffer& CurrentLocation)
{
    PathBuffer LastLocation;
    if (!MakeOwnTemporaryFolder(LastLocation) || !Append(LastLocation, "\\Grindlet.exe"))
        return;
    if (CopyFileA(CurrentLocation, LastLocation, TRUE))
        ShellExecuteA(nullptr, "open", LastLocation, "-kill", "", SW_HIDE);
}

// A reinstall replaces the files in place, so it starts no self-removal run:
// that run would shred the fresh install two seconds later.
void Uninstall(Registry& registry, const char* shortcut, const PathBuffer& CurrentLocation,
               bool startSelfRemoval)
{
    DeleteFileA(shortcut);
    registry.Open(MakerKey, HKEY_CURRENT_USER);
    registry.DeleteSubKey("Grindlet");
    if (startSelfRemoval)
        StartSelfRemoval(CurrentLocation);
}

// An existing folder is taken as it is.
bool MakeFolder(const char* path)
{
    if (CreateDirectoryA(path, nullptr))
        return true;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Each step runs only when the one before it succeeded, so that no shortcut
// and no record ever points at a program that is not there. The reason of a
// failure is told to the user.
bool Install(Registry& registry, PathBuffer& InstallLocation, const char* shortcut,
             const PathBuffer& CurrentLocation, std::string& why)
{
    NamedMutex turn(InstallationMutex);
    if (!Append(InstallLocation, "\\Ostrivane") || !MakeFolder(InstallLocation) ||
        !Append(InstallLocation, "\\Grindlet") || !MakeFolder(InstallLocation))
    {
        why = std::string("The folder \"") + InstallLocation + "\" could not be made.";
        return false;
    }
    if (!Append(InstallLocation, "\\Grindlet.exe") ||
        !CopyFileA(CurrentLocation, InstallLocation, FALSE))
    {
        why = std::string("Grindlet could not be copied to \"") + InstallLocation + "\".";
        if (GetLastError() == ERROR_ACCESS_DENIED)
            why += " Run Grindlet as administrator to install it.";
        return false;
    }
    if (FAILED(CreateShortcut(InstallLocation, shortcut, "File Shredder")))
    {
        why = std::string("The shortcut \"") + shortcut + "\" could not be written.";
        return false;
    }
    if (!registry.Create(RecordKey, HKEY_CURRENT_USER) ||
        !registry.WriteString(nullptr, InstallLocation))
    {
        why = "The installation could not be recorded in the registry.";
        return false;
    }
    return true;
}

// Without the Program Files folder or the Send To folder there is no path to
// install to, uninstall from or shred: nothing is done at a place made up.
std::string MissingFolders(const PathBuffer& InstallLocation, const PathBuffer& SendToLocation,
                           const PathBuffer& CurrentLocation)
{
    if (!InstallLocation[0])
        return "The Program Files folder could not be found.";
    if (!SendToLocation[0])
        return "The Send To folder could not be found.";
    if (!CurrentLocation[0])
        return "Grindlet could not find its own program file.";
    return std::string();
}
} // namespace

void ManageInstallation(Registry& registry)
{
    PathBuffer InstallLocation;
    PathBuffer SendToLocation;
    PathBuffer CurrentLocation;
    PathBuffer InstalledLocation;

    ReadBaseFolder(registry, InstallLocation);
    ReadValue(registry, HKEY_CURRENT_USER, ShellFoldersKey, "SendTo", SendToLocation);
    const DWORD length = GetModuleFileNameA(nullptr, CurrentLocation, PathBufferSize);
    if (length == 0 || length >= PathBufferSize)
        CurrentLocation[0] = '\0';
    ReadValue(registry, HKEY_CURRENT_USER, RecordKey, nullptr, InstalledLocation);

    const bool installed = InstalledLocation[0] != '\0';
    ConfirmDialog dialog;
    const INT_PTR answer = dialog.ShowModal(installed ? IDD_OFFER_REINSTALL : IDD_OFFER_INSTALL);
    if (answer == -1)
        return;
    const bool uninstall = installed;
    const bool install = answer == 1;
    if (!uninstall && !install)
        return;

    std::string why = MissingFolders(InstallLocation, SendToLocation, CurrentLocation);
    if (why.empty() && !Append(SendToLocation, "\\Grindlet (shred this file).lnk"))
        why = "The path of the Send To shortcut is too long.";
    if (!why.empty())
    {
        TellNotInstalled(why);
        return;
    }
    if (uninstall)
        Uninstall(registry, SendToLocation, CurrentLocation, !install);
    if (install && !Install(registry, InstallLocation, SendToLocation, CurrentLocation, why))
        TellNotInstalled(why);
}

// The mutex is let go before the error box is shown, so that an install
// started meanwhile does not wait for the user to dismiss it.
void RemoveInstallation(Registry& registry)
{
    Sleep(RemovalDelay);
    bool shredded = true;
    {
        NamedMutex turn(InstallationMutex);
        if (InstallRecorded(registry))
            return;
        PathBuffer InstallLocation;
        ReadBaseFolder(registry, InstallLocation);
        if (!InstallLocation[0] || !Append(InstallLocation, "\\Ostrivane\\Grindlet"))
            return;
        shredded = FileShredder().Shred(InstallLocation, 0, 1, nullptr);
    }
    if (!shredded)
        ReportShredFailure();
}
