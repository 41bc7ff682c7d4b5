#include "shred/HeldItem.h"

#include "shred/RandomName.h"

#include <winternl.h>
#include <ntstatus.h>

#include <cstring>

namespace
{
// How many drawn names may meet an existing name before the item is deleted
// under its own name instead.
const int NameDraws = 1000;

const DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Reading the data (for a folder: listing it) is asked for so that the share
// mode is recorded: an open that asks only for attributes does not take part
// in sharing, and would not keep others from renaming the item.
const ACCESS_MASK HeldAccess =
    FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;

// FILE_OPEN_REPARSE_POINT opens a link as itself; FILE_OPEN_FOR_BACKUP_INTENT
// lets a folder be opened at all.
NTSTATUS OpenBelow(HANDLE folder, const std::wstring& name, ACCESS_MASK access, HANDLE& out)
{
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = objectName.MaximumLength =
        static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io;
    out = INVALID_HANDLE_VALUE;
    const NTSTATUS status = NtCreateFile(
        &out, access, &attributes, &io, nullptr, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
        FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT,
        nullptr, 0);
    if (!NT_SUCCESS(status))
        out = INVALID_HANDLE_VALUE;
    return status;
}

bool EqualPaths(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L'\\' + name;
}

ULONGLONG FileIndex(const BY_HANDLE_FILE_INFORMATION& info)
{
    return (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

ListedEntry FromListing(const FILE_ID_BOTH_DIR_INFO& entry)
{
    ListedEntry listed;
    listed.Name.assign(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
    listed.Attributes = entry.FileAttributes;
    // For a reparse point the listing puts the tag where the size of the
    // extended attributes would be.
    listed.ReparseTag = entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? entry.EaSize : 0;
    listed.HasId = true;
    listed.FileId = static_cast<ULONGLONG>(entry.FileId.QuadPart);
    listed.Size = static_cast<ULONGLONG>(entry.EndOfFile.QuadPart);
    return listed;
}
} // namespace

ReparseKind ClassifyReparse(DWORD attributes, DWORD reparseTag)
{
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ReparseKind::None;
    return IsReparseTagNameSurrogate(reparseTag) ? ReparseKind::Link : ReparseKind::Data;
}

FileHandle OpenHoldingFolder(const std::wstring& extendedPath)
{
    return FileHandle(CreateFileW(extendedPath.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE |
                                      FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
}

// FindFirstFileW with a name that holds no wildcard finds that one entry, by
// its long or its short name, and reports the long one. Only the long name
// itself is taken: a short name, or a name the lookup changed, is refused.
bool LookUpEntry(const std::wstring& extendedFolderPath, const std::wstring& name,
                 ListedEntry& out)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Joined(extendedFolderPath, name).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    if (!EqualPaths(found.cFileName, name))
        return false;
    out.Name = name;
    out.Attributes = found.dwFileAttributes;
    out.ReparseTag = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? found.dwReserved0 : 0;
    out.HasId = false;
    out.FileId = 0;
    out.Size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    return true;
}

bool ListEntries(HANDLE folder, std::vector<ListedEntry>& out)
{
    std::vector<ULONGLONG> buffer(64 * 1024 / sizeof(ULONGLONG));
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG));
    FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(folder, query, buffer.data(), size))
    {
        query = FileIdBothDirectoryInfo;
        const char* at = reinterpret_cast<const char*>(buffer.data());
        for (;;)
        {
            const FILE_ID_BOTH_DIR_INFO& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            ListedEntry listed = FromListing(entry);
            if (listed.Name != L"." && listed.Name != L"..")
                out.push_back(std::move(listed));
            if (entry.NextEntryOffset == 0)
                break;
            at += entry.NextEntryOffset;
        }
    }
    return GetLastError() == ERROR_NO_MORE_FILES;
}

namespace
{
std::wstring FinalPathOf(HANDLE handle, DWORD form)
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;)
    {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(),
                                                       static_cast<DWORD>(path.size()),
                                                       form | VOLUME_NAME_DOS);
        if (length == 0)
            return std::wstring();
        if (length < path.size())
            return std::wstring(path.data(), length);
        path.resize(length + 1);
    }
}
} // namespace

// The normalized form needs every folder on the way to be readable, and some
// file systems do not give it; the form the item was opened under serves then.
std::wstring FinalPathOf(HANDLE handle)
{
    const std::wstring normalized = FinalPathOf(handle, FILE_NAME_NORMALIZED);
    return normalized.empty() ? FinalPathOf(handle, FILE_NAME_OPENED) : normalized;
}

bool DescribeFolder(HANDLE handle, HeldFolder& out)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    out.Handle = handle;
    out.Path = FinalPathOf(handle);
    out.Volume = info.dwVolumeSerialNumber;
    return !out.Path.empty();
}

HeldItem::HeldItem(const HeldFolder& folder, const ListedEntry& listed)
    : Folder(folder), Listed(listed), CanDelete(true), Info(), ReparseTag(0),
      Type(FILE_TYPE_UNKNOWN)
{
    HANDLE opened;
    NTSTATUS status = OpenBelow(folder.Handle, listed.Name, HeldAccess | DELETE, opened);
    // Another program holds it without delete sharing: it can still be
    // overwritten, but not renamed or deleted.
    if (status == STATUS_SHARING_VIOLATION)
    {
        CanDelete = false;
        status = OpenBelow(folder.Handle, listed.Name, HeldAccess, opened);
    }
    if (!NT_SUCCESS(status))
        return;
    Handle = FileHandle(opened);

    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandle(Handle.Get(), &Info) ||
        !GetFileInformationByHandleEx(Handle.Get(), FileAttributeTagInfo, &tag, sizeof tag))
    {
        Handle.Close();
        return;
    }
    ReparseTag = tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? tag.ReparseTag : 0;
    Type = GetFileType(Handle.Get());
    FinalPath = FinalPathOf(Handle.Get());
}

// Wine opens what a Unix symbolic link points at even when asked for the
// link itself, and its listing shows a link to a file as a plain file: the
// final path is what shows that the handle leads elsewhere.
bool HeldItem::IsListedItem() const
{
    if (!Handle.IsOpen() || Type != FILE_TYPE_DISK || FinalPath.empty())
        return false;
    if (!EqualPaths(FinalPath, Joined(Folder.Path, Listed.Name)))
        return false;
    if (Info.dwVolumeSerialNumber != Folder.Volume)
        return false;
    return !Listed.HasId || Listed.FileId == FileIndex(Info);
}

ReparseKind HeldItem::Reparse() const
{
    const DWORD tag = Info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? ReparseTag
                                                                           : Listed.ReparseTag;
    return ClassifyReparse(Attributes(), tag);
}

bool HeldItem::ResetAttributes()
{
    FILE_BASIC_INFO basic;
    std::memset(&basic, 0, sizeof basic); // zero times stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(Handle.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

bool HeldItem::IsSameItem(HANDLE other) const
{
    BY_HANDLE_FILE_INFORMATION otherInfo;
    return GetFileInformationByHandle(other, &otherInfo) &&
           otherInfo.dwVolumeSerialNumber == Info.dwVolumeSerialNumber &&
           FileIndex(otherInfo) == FileIndex(Info);
}

// Our own handle asks for deletion, so a second one must share it.
FileHandle HeldItem::Reopen(DWORD access, DWORD flags) const
{
    FileHandle reopened(ReOpenFile(Handle.Get(), access, ShareAll, flags));
    if (reopened.IsOpen() && !IsSameItem(reopened.Get()))
        reopened.Close();
    return reopened;
}

namespace
{
NTSTATUS RenameThrough(HANDLE item, HANDLE folder, const std::wstring& name)
{
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<ULONGLONG> buffer((sizeof(FILE_RENAME_INFO) + bytes) / sizeof(ULONGLONG) + 1);
    FILE_RENAME_INFO& rename = *reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename.ReplaceIfExists = FALSE;
    rename.RootDirectory = folder;
    rename.FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(rename.FileName, name.c_str(), bytes);
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(item, &io, &rename,
                                static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG)),
                                FileRenameInformation);
}

// "\\?\C:\folder" as the system's own name space writes it: "\??\C:\folder".
std::wstring NtPath(const std::wstring& extendedPath)
{
    return L"\\??\\" + extendedPath.substr(4);
}
} // namespace

// The new name is given relative to the held folder, so that the item stays
// in it whatever happens to the folders above. Wine's 32-bit layer refuses
// any name relative to a folder handle (STATUS_INVALID_PARAMETER_3); where it
// is refused, the held folder's full path is given instead. The item never
// replaces another.
bool HeldItem::Rename(const std::wstring& name, bool& nameTaken)
{
    NTSTATUS status = RenameThrough(Handle.Get(), Folder.Handle, name);
    if (!NT_SUCCESS(status) && status != STATUS_OBJECT_NAME_COLLISION)
        status = RenameThrough(Handle.Get(), nullptr, NtPath(Joined(Folder.Path, name)));
    nameTaken = status == STATUS_OBJECT_NAME_COLLISION;
    return NT_SUCCESS(status);
}

bool HeldItem::Delete()
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return CanDelete && SetFileInformationByHandle(Handle.Get(), FileDispositionInfo,
                                                   &disposition, sizeof disposition) != 0;
}

// A name that differs from the item's own only in case would be a rename to
// the same entry, so it is drawn again.
void HeldItem::RemoveUnderRandomName()
{
    if (!CanDelete)
        return;
    bool moved = false;
    for (int draw = 0; draw < NameDraws && !moved; ++draw)
    {
        const std::wstring drawn = DrawRandomName(Listed.Name);
        if (drawn.empty())
            break;
        if (EqualPaths(drawn, Listed.Name))
            continue;
        bool nameTaken = false;
        moved = Rename(drawn, nameTaken);
        if (!moved && !nameTaken)
            break;
    }
    if (Delete() || !moved)
        return;
    bool nameTaken = false;
    Rename(Listed.Name, nameTaken);
}
