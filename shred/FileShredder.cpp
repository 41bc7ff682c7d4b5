#include "shred/FileShredder.h"

#include "shred/HeldItem.h"
#include "shred/NamedPath.h"
#include "shred/Overwrite.h"

#include <windows.h>

#include <vector>

namespace
{
const char DefaultPattern[] = "FileGrindlet!";

// Attribute bit that the platform reserves; an item carrying it is refused.
const DWORD ReservedAttribute = 0x40;

const ShredPolicy DefaultsClear = 0x02 | 0x04 | 0x08 | ShredAllowHidden | ShredAllowReadOnly |
                                  ShredAllowSystem;

ShredPolicy NormalisedPolicy(ShredPolicy policy)
{
    if (policy == 0)
        policy = ShredDefaults;
    if (policy & ShredDefaults)
        policy &= ~DefaultsClear;
    return policy;
}

// What one request asks for, handed down the walk, with how far it has come
// when the caller wants to be told.
struct ShredJob
{
    ShredPolicy Policy;
    int Passes;
    const char* Pattern;
    const ShredProgress* Progress;
    ShredCount Count;
    std::wstring Path; // the file being written
    bool Stopped;
};

bool Report(ShredJob& job)
{
    if (job.Progress && !job.Progress->Report(job.Count, job.Path))
        job.Stopped = true;
    return !job.Stopped;
}

bool BlockWrittenFor(void* context, unsigned long long bytes)
{
    ShredJob& job = *static_cast<ShredJob*>(context);
    job.Count.BytesDone += bytes;
    return Report(job);
}

bool ShredItem(ShredJob& job, const HeldFolder& folder, const ListedEntry& listed);

// Refuses an item that carries `attribute` unless the policy has `allowBit`;
// an allowed item has all its attributes reset, which must succeed.
bool AdmitAttribute(HeldItem& item, DWORD attributes, DWORD attribute, ShredPolicy policy,
                    ShredPolicy allowBit)
{
    if (!(attributes & attribute))
        return true;
    if (!(policy & allowBit))
        return false;
    return item.ResetAttributes();
}

bool Admit(HeldItem& item, ShredPolicy policy)
{
    const DWORD attributes = item.Attributes();
    if (attributes & (ReservedAttribute | FILE_ATTRIBUTE_OFFLINE))
        return false;
    return AdmitAttribute(item, attributes, FILE_ATTRIBUTE_HIDDEN, policy, ShredAllowHidden) &&
           AdmitAttribute(item, attributes, FILE_ATTRIBUTE_READONLY, policy, ShredAllowReadOnly) &&
           AdmitAttribute(item, attributes, FILE_ATTRIBUTE_SYSTEM, policy, ShredAllowSystem);
}

// The file is written through a second handle on the same item, opened for
// writing only after the checks.
bool ShredFile(ShredJob& job, HeldItem& item)
{
    if (item.LinkCount() > 1)
        return false;
    ++job.Count.FilesDone;
    if (job.Progress)
        job.Path = item.Path();
    if (!Report(job))
        return false;
    {
        const FileHandle writer = item.Reopen(GENERIC_WRITE, 0);
        if (!writer.IsOpen() ||
            !OverwriteFile(writer.Get(), job.Pattern, job.Passes, BlockWrittenFor, &job))
            return false;
    }
    item.RemoveUnderRandomName();
    return true;
}

// The folder is listed in full before anything in it is touched, so that
// renamed entries are not met again, and its entries are opened below the
// folder's own handle. An entry that fails leaves the folder in place; once
// the caller has stopped the shred, no further entry is touched.
bool ShredFolder(ShredJob& job, HeldItem& item)
{
    bool result = true;
    {
        const FileHandle contents = item.Reopen(FILE_LIST_DIRECTORY | FILE_TRAVERSE |
                                                    FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                                FILE_FLAG_BACKUP_SEMANTICS);
        std::vector<ListedEntry> entries;
        if (!contents.IsOpen() || !ListEntries(contents.Get(), entries))
            return false;
        const HeldFolder folder = {contents.Get(), item.Path(), item.Volume()};
        for (const ListedEntry& entry : entries)
        {
            if (job.Stopped || !ShredItem(job, folder, entry))
                result = false;
        }
    }
    if (result)
        item.RemoveUnderRandomName();
    return result;
}

bool ShredItem(ShredJob& job, const HeldFolder& folder, const ListedEntry& listed)
{
    if (job.Stopped)
        return false;
    HeldItem item(folder, listed);
    if (!item.IsListedItem() || !Admit(item, job.Policy))
        return false;
    switch (item.Reparse())
    {
    case ReparseKind::Link:
        return item.Delete();
    case ReparseKind::Data:
    case ReparseKind::None:
        break;
    }
    return item.IsFolder() ? ShredFolder(job, item) : ShredFile(job, item);
}

// The listing pass that finds what a shred will write: the sizes of the files
// below a folder, links left out, as the walk will leave them out.
void CountFiles(const std::wstring& path, const ListedEntry& listed, ShredCount& count)
{
    if (ClassifyReparse(listed.Attributes, listed.ReparseTag) == ReparseKind::Link)
        return;
    if (!(listed.Attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        ++count.FilesTotal;
        count.BytesTotal += listed.Size;
        return;
    }
    std::vector<ListedEntry> entries;
    const FileHandle folder = OpenHoldingFolder(path);
    if (folder.IsOpen() && ListEntries(folder.Get(), entries))
        for (const ListedEntry& entry : entries)
            CountFiles(path + L"\\" + entry.Name, entry, count);
}

bool ShredNamed(const char* path, ShredPolicy policy, int passes, const char* message,
                const ShredProgress* progress)
{
    ShredJob job = {NormalisedPolicy(policy), passes <= 0 ? 1 : passes,
                    message && *message ? message : DefaultPattern, progress, ShredCount(),
                    std::wstring(), false};
    NamedPath named;
    if (!SplitNamedPath(path, named))
        return false;
    const FileHandle holding = OpenHoldingFolder(named.Folder);
    HeldFolder folder;
    ListedEntry listed;
    if (!holding.IsOpen() || !DescribeFolder(holding.Get(), folder) ||
        !LookUpEntry(named.Folder, named.Name, listed))
        return false;
    if (progress)
    {
        CountFiles(named.Folder + named.Name, listed, job.Count);
        job.Count.BytesTotal *= static_cast<unsigned long long>(job.Passes);
    }
    return ShredItem(job, folder, listed);
}
} // namespace

bool FileShredder::Shred(const char* path, ShredPolicy policy, int passes, const char* message)
{
    return ShredNamed(path, policy, passes, message, nullptr);
}

bool FileShredder::Shred(const char* path, ShredPolicy policy, int passes, const char* message,
                         const ShredProgress& progress)
{
    return ShredNamed(path, policy, passes, message, &progress);
}
