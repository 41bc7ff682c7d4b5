#pragma once

#include "win/FileHandle.h"

#include <windows.h>

#include <string>
#include <vector>

// An item as its folder lists it: the view that the item opened below that
// folder must match.
struct ListedEntry
{
    std::wstring Name;
    DWORD Attributes;
    DWORD ReparseTag; // meaningful when Attributes has FILE_ATTRIBUTE_REPARSE_POINT
    bool HasId;       // a listing by handle gives the file identity, a lookup by name none
    ULONGLONG FileId;
    ULONGLONG Size;
};

// What a reparse point means to the shredder. Only name surrogates (symbolic
// links, junctions, mount points) lead to another item; every other kind
// (cloud placeholders, deduplicated and tiered files) holds the item's own
// data, which its file system driver hands out when the item is opened.
enum class ReparseKind
{
    None,
    Link,
    Data,
};

ReparseKind ClassifyReparse(DWORD attributes, DWORD reparseTag);

// Opens the folder that holds a named item, for looking the item up in it.
// It is shared with everybody: only the item itself is held against change.
FileHandle OpenHoldingFolder(const std::wstring& extendedPath);

// The entry `name` of the folder behind `folder`, by a lookup of that one
// name (no identity). False when it is not there.
bool LookUpEntry(const std::wstring& extendedFolderPath, const std::wstring& name,
                 ListedEntry& out);

// The whole listing of the folder behind the handle, "." and ".." left out.
bool ListEntries(HANDLE folder, std::vector<ListedEntry>& out);

// The final path of an open item, as the platform resolves it; empty when it
// cannot be had.
std::wstring FinalPathOf(HANDLE handle);

// A folder held open while its entries are shredded, with what each entry is
// checked against: its final path and its volume.
struct HeldFolder
{
    HANDLE Handle;
    std::wstring Path;
    DWORD Volume;
};

// The final path and volume of the folder behind the handle; false when
// either cannot be had.
bool DescribeFolder(HANDLE handle, HeldFolder& out);

// One item opened by its name below a folder that the caller holds open, so
// that no folder above it can be swapped in between. It is opened once, as
// itself and not as what a link points at, and it is held without delete
// sharing: while this object lives nobody else can rename, replace or delete
// it. Everything the shredder decides about it is read through this handle.
class HeldItem
{
public:
    // The folder must outlive the item.
    HeldItem(const HeldFolder& folder, const ListedEntry& listed);
    HeldItem(const HeldItem&) = delete;
    HeldItem& operator=(const HeldItem&) = delete;

    // Open, a file or folder on a disk, reached under exactly the folder's
    // path and the listed name (no link between), and, where the listing gave
    // one, the file the listing showed.
    bool IsListedItem() const;

    DWORD Attributes() const { return Info.dwFileAttributes | Listed.Attributes; }
    ReparseKind Reparse() const;
    bool IsFolder() const { return (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    DWORD LinkCount() const { return Info.nNumberOfLinks; }
    const std::wstring& Path() const { return FinalPath; }
    DWORD Volume() const { return Info.dwVolumeSerialNumber; }

    // Clears the read-only, hidden and system attributes through the handle.
    bool ResetAttributes();

    // A new handle on the same item with other access, checked to be the
    // same item. A reparse point that holds data is opened through its driver.
    FileHandle Reopen(DWORD access, DWORD flags) const;

    // Moves the item to a name of random letters and digits as long as its
    // own, in its folder, and deletes it under that name; when it cannot be
    // deleted it gets its own name back. An item that another program holds
    // without delete sharing keeps its name.
    void RemoveUnderRandomName();
    // Deletes the item (a link: the link itself) without renaming it.
    bool Delete();

private:
    bool IsSameItem(HANDLE other) const;
    bool Rename(const std::wstring& name, bool& nameTaken);

    const HeldFolder& Folder;
    ListedEntry Listed;
    FileHandle Handle;
    bool CanDelete;
    BY_HANDLE_FILE_INFORMATION Info;
    DWORD ReparseTag;
    DWORD Type;
    std::wstring FinalPath;
};
