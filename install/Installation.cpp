#include "install/Installation.h"

#include "app/Shredding.h"
#include "res/resource.h"
#include "win/Dialog.h"
#include "win/NamedMutex.h"
#include "win/Shortcut.h"

#include <direct.h>
#include <shellapi.h>

#include <cstring>

namespace
{
typedef char PathBuffer[PathBufferSize];

const char WindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char MakerKey[] = "Software\\Ostrivane";
const char RecordKey[] = "Software\\Ostrivane\\Grindlet";

// Installs and the self-removal run's shredding take turns under this mutex,
// so that a removal never shreds an install made while it was pending.
const char InstallationMutex[] = "Local\\Ostrivane.Grindlet.Installation";

const DWORD RemovalDelay = 2000;

// A value that cannot be read leaves the empty string.
void ReadValue(Registry& registry, HKEY root, const char* key, const char* name, PathBuffer& out)
{
    out[0] = '\0';
    if (!registry.Open(key, root) || !registry.ReadString(name, out, PathBufferSize))
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

// The temporary copy started with "-kill"; left out when the temporary folder
// cannot be determined or its path cannot take the file name.
void StartSelfRemoval(const PathBuffer& CurrentLocation)
{
    PathBuffer LastLocation;
    const DWORD length = GetTempPathA(PathBufferSize, LastLocation);
    if (length == 0 || length >= PathBufferSize || !Append(LastLocation, "Grindlet.exe"))
        return;
    CopyFileA(CurrentLocation, LastLocation, FALSE);
    ShellExecuteA(nullptr, "open", LastLocation, "-kill", "", SW_HIDE);
}

// A reinstall replaces the files in place, so it starts no self-removal run:
// that run would shred the fresh install two seconds later.
void Uninstall(Registry& registry, const char* shortcut, const PathBuffer& CurrentLocation,
               bool startSelfRemoval)
{
    if (shortcut)
        DeleteFileA(shortcut);
    registry.Open(MakerKey, HKEY_CURRENT_USER);
    registry.DeleteSubKey("Grindlet");
    if (startSelfRemoval)
        StartSelfRemoval(CurrentLocation);
}

void Install(Registry& registry, PathBuffer& InstallLocation, const char* shortcut,
             const PathBuffer& CurrentLocation)
{
    NamedMutex turn(InstallationMutex);
    if (!Append(InstallLocation, "\\Ostrivane"))
        return;
    _mkdir(InstallLocation);
    if (!Append(InstallLocation, "\\Grindlet"))
        return;
    _mkdir(InstallLocation);
    if (!Append(InstallLocation, "\\Grindlet.exe"))
        return;
    CopyFileA(CurrentLocation, InstallLocation, FALSE);
    if (shortcut)
        CreateShortcut(InstallLocation, shortcut, "File Shredder");
    registry.Create(RecordKey, HKEY_CURRENT_USER);
    registry.WriteString(nullptr, InstallLocation);
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

    const char* shortcut =
        Append(SendToLocation, "\\Grindlet (shred this file).lnk") ? SendToLocation : nullptr;
    if (uninstall)
        Uninstall(registry, shortcut, CurrentLocation, !install);
    if (install)
        Install(registry, InstallLocation, shortcut, CurrentLocation);
}

void RemoveInstallation(Registry& registry)
{
    Sleep(RemovalDelay);
    NamedMutex turn(InstallationMutex);
    if (InstallRecorded(registry))
        return;
    PathBuffer InstallLocation;
    ReadBaseFolder(registry, InstallLocation);
    if (Append(InstallLocation, "\\Ostrivane\\Grindlet"))
        ShredPath(InstallLocation);
}
