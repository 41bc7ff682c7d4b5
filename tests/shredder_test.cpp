#include "shred/FileShredder.h"
#include "shred/HeldItem.h"
#include "shred/RandomName.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <thread>

namespace
{
const std::string Default = "FileGrindlet!";

// Sharing that lets the shredder open and write the file but not delete it,
// so the test can read back what a pass left behind.
const DWORD ShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Sharing that lets the shredder do everything: a deleted item stays listed
// until the holder lets go, which shows the name it was deleted under.
const DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const DWORD HiddenReadOnlySystem =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;

std::string Original(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

// The bytes a shredded file holds at `offset`, for `length` bytes.
std::string PatternAt(const std::string& pattern, long long offset, std::size_t length)
{
    const std::string unit = pattern + '\0';
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i)
        bytes += unit[static_cast<std::size_t>((offset + static_cast<long long>(i)) %
                                               static_cast<long long>(unit.size()))];
    return bytes;
}

bool Shred(const std::string& path, ShredPolicy policy = 0, int passes = 1,
           const char* message = nullptr)
{
    return FileShredder().Shred(path.c_str(), policy, passes, message);
}

DWORD HrsBits(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) & HiddenReadOnlySystem;
}

struct PatternCase
{
    const char* Label;
    std::size_t Size;
    const char* Message;
    std::string Expected;
};

class ShredderPattern : public testing::TestWithParam<PatternCase>
{
};

TEST_P(ShredderPattern, OverwritesEveryByteWithTheUnitAndKeepsTheLength)
{
    const PatternCase& c = GetParam();
    ScratchFolder scratch;
    const std::string file = scratch / "victim.bin";
    WriteBytes(file, Original(c.Size));
    HeldFile holder(file, ShareAllButDelete);
    ASSERT_TRUE(holder.IsOpen());

    EXPECT_TRUE(Shred(file, 0, 1, c.Message));

    EXPECT_EQ(holder.ReadAt(0, c.Size + 16), c.Expected);
    EXPECT_TRUE(Exists(file)) << "the holder forbids deletion";
}

// The engine writes in blocks of about 1 MiB of whole units.
const std::size_t MiB = 1024 * 1024;
const std::string LongMessage(MiB + 3001, 'L');

INSTANTIATE_TEST_SUITE_P(
    Sizes, ShredderPattern,
    testing::Values(
        PatternCase{"Empty", 0, nullptr, ""},
        PatternCase{"ShorterThanUnit", 5, nullptr, "FileG"},
        PatternCase{"ExactlyOneUnit", 14, nullptr, Default + '\0'},
        PatternCase{"TwoUnitsAndTwoBytes", 30, nullptr, Default + '\0' + Default + '\0' + "Fi"},
        PatternCase{"OneCharacterMessage", 5, "x", std::string("x\0x\0x", 5)},
        PatternCase{"EmptyMessageMeansDefault", 30, "", PatternBytes(Default, 30)},
        PatternCase{"AcrossSeveralBlocks", 3 * MiB + 77, nullptr,
                    PatternBytes(Default, 3 * MiB + 77)},
        PatternCase{"UnitLongerThanABlock", 2 * MiB + 7001, LongMessage.c_str(),
                    PatternBytes(LongMessage, 2 * MiB + 7001)}),
    [](const testing::TestParamInfo<PatternCase>& info) { return info.param.Label; });

class ShredderPasses : public testing::TestWithParam<int>
{
};

TEST_P(ShredderPasses, AnyPassCountWritesThePatternAndDeletes)
{
    ScratchFolder scratch;
    const std::string held = scratch / "held.bin";
    const std::string free = scratch / "free.bin";
    WriteBytes(held, Original(100));
    WriteBytes(free, Original(100));
    HeldFile holder(held, ShareAllButDelete);

    EXPECT_TRUE(Shred(held, 0, GetParam()));
    EXPECT_TRUE(Shred(free, 0, GetParam()));

    EXPECT_EQ(holder.ReadAt(0, 200), PatternBytes(Default, 100));
    EXPECT_FALSE(Exists(free));
}

INSTANTIATE_TEST_SUITE_P(Counts, ShredderPasses, testing::Values(0, -1, 3));

struct PolicyCase
{
    const char* Label;
    DWORD Attributes;
    ShredPolicy Policy;
    bool Shredded;
    DWORD AttributesLeft; // hidden/read-only/system bits of a refused file
};

class ShredderPolicy : public testing::TestWithParam<PolicyCase>
{
};

TEST_P(ShredderPolicy, AdmitsOrRefusesByAttributes)
{
    const PolicyCase& c = GetParam();
    ScratchFolder scratch;
    const std::string file = scratch / "item.txt";
    WriteBytes(file, Original(40));
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), c.Attributes));

    EXPECT_EQ(Shred(file, c.Policy), c.Shredded);

    if (c.Shredded)
    {
        EXPECT_FALSE(Exists(file));
        return;
    }
    EXPECT_EQ(ReadBytes(file), Original(40)) << "a refused file is never written";
    EXPECT_EQ(HrsBits(file), c.AttributesLeft);
}

const ShredPolicy AllowAll = ShredAllowHidden | ShredAllowReadOnly | ShredAllowSystem;

INSTANTIATE_TEST_SUITE_P(
    Cases, ShredderPolicy,
    testing::Values(
        PolicyCase{"NormalUnderZero", FILE_ATTRIBUTE_NORMAL, 0, true, 0},
        PolicyCase{"HiddenUnderZero", FILE_ATTRIBUTE_HIDDEN, 0, false, FILE_ATTRIBUTE_HIDDEN},
        PolicyCase{"ReadOnlyUnderZero", FILE_ATTRIBUTE_READONLY, 0, false,
                   FILE_ATTRIBUTE_READONLY},
        PolicyCase{"SystemUnderZero", FILE_ATTRIBUTE_SYSTEM, 0, false, FILE_ATTRIBUTE_SYSTEM},
        PolicyCase{"DefaultsOverrideAllowHidden", FILE_ATTRIBUTE_HIDDEN,
                   ShredDefaults | ShredAllowHidden, false, FILE_ATTRIBUTE_HIDDEN},
        PolicyCase{"DefaultsOverrideAllowAll", FILE_ATTRIBUTE_SYSTEM, ShredDefaults | AllowAll,
                   false, FILE_ATTRIBUTE_SYSTEM},
        PolicyCase{"HiddenAllowed", FILE_ATTRIBUTE_HIDDEN, ShredAllowHidden, true, 0},
        PolicyCase{"ReadOnlyAllowed", FILE_ATTRIBUTE_READONLY, ShredAllowReadOnly, true, 0},
        PolicyCase{"SystemAllowed", FILE_ATTRIBUTE_SYSTEM, ShredAllowSystem, true, 0},
        PolicyCase{"HiddenResetThenReadOnlyRefused",
                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, ShredAllowHidden, false, 0},
        PolicyCase{"AllThreeAllowed", HiddenReadOnlySystem, AllowAll, true, 0},
        PolicyCase{"HighBitsIgnored", FILE_ATTRIBUTE_READONLY, 0x100u | 0x80000000u, false,
                   FILE_ATTRIBUTE_READONLY}),
    [](const testing::TestParamInfo<PolicyCase>& info) { return info.param.Label; });

TEST(ShredderFiles, MissingPathFails)
{
    ScratchFolder scratch;
    EXPECT_FALSE(Shred(scratch / "absent.txt"));
    EXPECT_FALSE(Shred(""));
}


TEST(ShredderFiles, FileOfMoreThanTwoGigabytesIsShredded)
{
    ScratchFolder scratch;
    const std::string file = scratch / "huge.bin";
    const long long size = (1LL << 31) + 45;
    {
        HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = size;
        const BOOL sized = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
        CloseHandle(handle);
        ASSERT_TRUE(sized);
    }
    HeldFile holder(file, ShareAllButDelete);
    ASSERT_TRUE(holder.IsOpen());

    EXPECT_TRUE(Shred(file));

    const long long around2GiB = (1LL << 31) - 9;
    EXPECT_EQ(holder.ReadAt(0, 20), PatternAt(Default, 0, 20));
    EXPECT_EQ(holder.ReadAt(around2GiB, 20), PatternAt(Default, around2GiB, 20));
    EXPECT_EQ(holder.ReadAt(size - 12, 40), PatternAt(Default, size - 12, 12));
}

TEST(ShredderFolders, NestedFoldersAreShreddedAndRemoved)
{
    ScratchFolder scratch;
    const std::string root = scratch / "tree";
    MakeFolder(root);
    MakeFolder(root + "\\sub");
    MakeFolder(root + "\\sub\\deeper");
    MakeFolder(root + "\\empty");
    WriteBytes(root + "\\a.txt", Original(10));
    WriteBytes(root + "\\sub\\b.txt", Original(20));
    WriteBytes(root + "\\sub\\deeper\\c.txt", Original(30));

    EXPECT_TRUE(Shred(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(ListNames(scratch.Path()).empty()) << "nothing stays under another name";
}

TEST(ShredderFolders, EmptyFolderAndTrailingBackslash)
{
    ScratchFolder scratch;
    MakeFolder(scratch / "empty");
    MakeFolder(scratch / "slashed");
    WriteBytes(scratch / "slashed\\inner.txt", Original(3));

    EXPECT_TRUE(Shred(scratch / "empty"));
    EXPECT_TRUE(Shred(scratch / "slashed\\"));

    EXPECT_FALSE(Exists(scratch / "empty"));
    EXPECT_FALSE(Exists(scratch / "slashed"));
}

TEST(ShredderFolders, RefusedEntryFailsTheFolderButTheRestGoes)
{
    ScratchFolder scratch;
    const std::string root = scratch / "mixed";
    MakeFolder(root);
    MakeFolder(root + "\\sub");
    WriteBytes(root + "\\secret.txt", Original(12));
    WriteBytes(root + "\\plain.txt", Original(12));
    WriteBytes(root + "\\sub\\plain.txt", Original(12));
    ASSERT_TRUE(SetFileAttributesA((root + "\\secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));

    EXPECT_FALSE(Shred(root));

    EXPECT_EQ(ReadBytes(root + "\\secret.txt"), Original(12));
    EXPECT_FALSE(Exists(root + "\\plain.txt"));
    EXPECT_FALSE(Exists(root + "\\sub"));
    EXPECT_TRUE(Exists(root)) << "a folder that is not empty stays";
}

TEST(ShredderFolders, LockedEntryFailsTheFolderButTheRestGoes)
{
    ScratchFolder scratch;
    const std::string root = scratch / "busy";
    MakeFolder(root);
    WriteBytes(root + "\\locked.txt", Original(12));
    WriteBytes(root + "\\plain.txt", Original(12));
    HeldFile holder(root + "\\locked.txt", FILE_SHARE_READ);
    ASSERT_TRUE(holder.IsOpen());

    EXPECT_FALSE(Shred(root));

    EXPECT_EQ(holder.ReadAt(0, 100), Original(12));
    EXPECT_FALSE(Exists(root + "\\plain.txt"));
    EXPECT_TRUE(Exists(root));
}

TEST(ShredderFolders, RefusedFolderIsNotEntered)
{
    for (const DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM})
    {
        ScratchFolder scratch;
        const std::string root = scratch / "guarded";
        MakeFolder(root);
        WriteBytes(root + "\\inside.txt", Original(12));
        ASSERT_TRUE(SetFileAttributesA(root.c_str(), attribute));

        EXPECT_FALSE(Shred(root)) << attribute;

        EXPECT_EQ(ReadBytes(root + "\\inside.txt"), Original(12)) << attribute;
    }
}

// Names that begin with a dot are real entries: only "." and ".." are
// skipped. Wine 8 shows every Unix dot-name as hidden, so the default policy
// refuses them there and ShredAllowHidden lets them go; Wine 10 does not.
TEST(ShredderFolders, DotNamedEntriesAreShreddedLikeAnyOther)
{
    ScratchFolder scratch;
    const std::string root = scratch / "dots";
    MakeFolder(root);
    MakeFolder(root + "\\.config");
    WriteBytes(root + "\\.config\\settings", Original(9));
    WriteBytes(root + "\\.profile", Original(9));
    WriteBytes(root + "\\..double", Original(9));
    const bool hidden = (GetFileAttributesA((root + "\\.profile").c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0;

    if (hidden)
    {
        EXPECT_FALSE(Shred(root));
        EXPECT_EQ(ReadBytes(root + "\\.profile"), Original(9));
    }
    EXPECT_TRUE(Shred(root, ShredAllowHidden));
    EXPECT_FALSE(Exists(root));
}

// A file that another program holds open stays under its own name: without
// write sharing it is refused untouched, without delete sharing it is
// overwritten but cannot be deleted.
struct HeldCase
{
    const char* Label;
    DWORD Share;
    bool Shredded;
};

class ShredderHeldFile : public testing::TestWithParam<HeldCase>
{
};

TEST_P(ShredderHeldFile, KeepsItsName)
{
    ScratchFolder scratch;
    const std::string file = scratch / "kept name.doc";
    WriteBytes(file, Original(33));
    {
        HeldFile holder(file, GetParam().Share);
        ASSERT_TRUE(holder.IsOpen());
        EXPECT_EQ(Shred(file), GetParam().Shredded);
    }
    EXPECT_EQ(ListNames(scratch.Path()), std::vector<std::string>{"kept name.doc"});
    EXPECT_EQ(ReadBytes(file), GetParam().Shredded ? PatternBytes(Default, 33) : Original(33));
}

INSTANTIATE_TEST_SUITE_P(
    Sharing, ShredderHeldFile,
    testing::Values(HeldCase{"WithoutWriteSharingIsRefused", FILE_SHARE_READ, false},
                    HeldCase{"WithoutDeleteSharingIsOverwritten", ShareAllButDelete, true}),
    [](const testing::TestParamInfo<HeldCase>& info) { return info.param.Label; });

bool IsLettersAndDigits(const std::string& name)
{
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Expects `folder` to list exactly one item, under a name of random letters
// and digits as long as `oldName` and different from it.
void ExpectOneItemRenamedFrom(const std::string& folder, const std::string& oldName)
{
    const std::vector<std::string> names = ListNames(folder);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].size(), oldName.size()) << names[0];
    EXPECT_TRUE(IsLettersAndDigits(names[0])) << names[0];
    EXPECT_NE(_stricmp(names[0].c_str(), oldName.c_str()), 0) << names[0];
}

// An empty name stands for one that makes the whole path MAX_PATH - 1 long,
// the longest path the ANSI calls take.
struct NameCase
{
    const char* Label;
    const char* Name;
};

class ShredderRenaming : public testing::TestWithParam<NameCase>
{
};

// The file is held by a handle that shares deletion, so the deletion is
// pending until the holder closes it, and the folder shows the name it was
// deleted under.
TEST_P(ShredderRenaming, DeletedFileIsListedUnderANewNameOfTheSameLength)
{
    ScratchFolder scratch;
    const std::string folder = scratch / "names";
    MakeFolder(folder);
    std::string name = GetParam().Name;
    if (name.empty())
        name = std::string(MAX_PATH - 1 - folder.size() - 1, 'n');
    const std::string file = folder + "\\" + name;
    WriteBytes(file, Original(40));
    HeldFile holder(file, ShareAll);
    ASSERT_TRUE(holder.IsOpen()) << file.size();

    EXPECT_TRUE(Shred(file));

    ExpectOneItemRenamedFrom(folder, name);
    EXPECT_EQ(holder.ReadAt(0, 100), PatternBytes(Default, 40));
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShredderRenaming,
    testing::Values(NameCase{"WithExtension", "salaries-2027.xlsx"},
                    NameCase{"WithBlanks", "name with  blanks .txt"},
                    NameCase{"OneCharacter", "x"}, NameCase{"FullLengthPath", ""}),
    [](const testing::TestParamInfo<NameCase>& info) { return info.param.Label; });

// The ways a folder can be named: the new name replaces the last name in the
// path, whatever separates it and whatever follows it.
enum class PathForm
{
    Plain,
    TrailingBackslash,
    ForwardSlashes,
    Relative,
};

class ShredderFolderRenaming : public testing::TestWithParam<PathForm>
{
};

TEST_P(ShredderFolderRenaming, RemovedFolderIsListedUnderANewNameOfTheSameLength)
{
    ScratchFolder scratch;
    const std::string folder = scratch / "Quarterly reports";
    MakeFolder(folder);
    WriteBytes(folder + "\\q1.txt", Original(20));
    HeldFile holder(folder, ShareAll);
    ASSERT_TRUE(holder.IsOpen());
    char previous[MAX_PATH];
    ASSERT_TRUE(GetCurrentDirectoryA(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryA(scratch.Path().c_str()));

    std::string path = folder;
    switch (GetParam())
    {
    case PathForm::Plain:
        break;
    case PathForm::TrailingBackslash:
        path += "\\";
        break;
    case PathForm::ForwardSlashes:
        for (char& c : path)
            c = c == '\\' ? '/' : c;
        break;
    case PathForm::Relative:
        path = "Quarterly reports";
        break;
    }
    const bool shredded = Shred(path);
    SetCurrentDirectoryA(previous);

    EXPECT_TRUE(shredded) << path;
    ExpectOneItemRenamedFrom(scratch.Path(), "Quarterly reports");
}

std::string PathFormLabel(const testing::TestParamInfo<PathForm>& info)
{
    switch (info.param)
    {
    case PathForm::Plain:
        return "Plain";
    case PathForm::TrailingBackslash:
        return "TrailingBackslash";
    case PathForm::ForwardSlashes:
        return "ForwardSlashes";
    case PathForm::Relative:
        return "Relative";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Forms, ShredderFolderRenaming,
                         testing::Values(PathForm::Plain, PathForm::TrailingBackslash,
                                         PathForm::ForwardSlashes, PathForm::Relative),
                         PathFormLabel);

// A file that could not be deleted stays, and so does its folder: both keep
// the names the user knows them by.
TEST(ShredderRenaming, FolderThatCannotBeRemovedKeepsItsName)
{
    ScratchFolder scratch;
    const std::string folder = scratch / "still here";
    MakeFolder(folder);
    WriteBytes(folder + "\\open.txt", Original(20));
    {
        HeldFile holder(folder + "\\open.txt", ShareAllButDelete);
        ASSERT_TRUE(holder.IsOpen());
        EXPECT_TRUE(Shred(folder));
    }
    EXPECT_EQ(ListNames(scratch.Path()), std::vector<std::string>{"still here"});
    EXPECT_EQ(ListNames(folder), std::vector<std::string>{"open.txt"});
    EXPECT_EQ(ReadBytes(folder + "\\open.txt"), PatternBytes(Default, 20));
}

// One-character names: the file system tells names apart without case, so
// there are 36 of them. The others but `free` are taken by files that must
// come through untouched; the shredded "x" may only go to `free`, and keeps
// its name when no name is free. "X" is as likely a draw as the free name and
// would be a rename that keeps the name, so the shred is done in several
// rounds for that to show.
struct CrowdCase
{
    const char* Label;
    char Free;
    const char* Expected;
    int Rounds;
};

class ShredderCrowdedFolder : public testing::TestWithParam<CrowdCase>
{
};

TEST_P(ShredderCrowdedFolder, NewNameNeverReplacesAnExistingItem)
{
    const std::string taken = "0123456789abcdefghijklmnopqrstuvwyz";
    for (int round = 0; round < GetParam().Rounds; ++round)
    {
        ScratchFolder scratch;
        for (const char c : taken)
        {
            if (c != GetParam().Free)
                WriteBytes(scratch / std::string(1, c), std::string(3, c));
        }
        WriteBytes(scratch / "x", Original(15));
        HeldFile holder(scratch / "x", ShareAll);
        ASSERT_TRUE(holder.IsOpen());

        EXPECT_TRUE(Shred(scratch / "x"));

        for (const char c : taken)
        {
            if (c != GetParam().Free)
            {
                EXPECT_EQ(ReadBytes(scratch / std::string(1, c)), std::string(3, c)) << c;
            }
        }
        std::string left;
        for (const std::string& name : ListNames(scratch.Path()))
            if (taken.find(name) == std::string::npos || name == std::string(1, GetParam().Free))
                left += name;
        ASSERT_EQ(_stricmp(left.c_str(), GetParam().Expected), 0) << left << " round " << round;
        EXPECT_EQ(holder.ReadAt(0, 100), PatternBytes(Default, 15));
    }
}

INSTANTIATE_TEST_SUITE_P(Crowds, ShredderCrowdedFolder,
                         testing::Values(CrowdCase{"OneNameFree", 'q', "q", 20},
                                         CrowdCase{"NoNameFree", '\0', "x", 1}),
                         [](const testing::TestParamInfo<CrowdCase>& info) {
                             return info.param.Label;
                         });

// Items that are not the user's to shred through this name: each is refused,
// nothing is written, and whatever else shares the name or the data keeps it.
TEST(ShredderRefuses, FileWithAnotherLinkKeepsTheSharedData)
{
    ScratchFolder scratch;
    const std::string chosen = scratch / "chosen.txt";
    const std::string elsewhere = scratch / "backup copy.txt";
    WriteBytes(chosen, Original(64));
    ASSERT_TRUE(CreateHardLinkA(elsewhere.c_str(), chosen.c_str(), nullptr));

    EXPECT_FALSE(Shred(chosen));

    EXPECT_EQ(ReadBytes(chosen), Original(64));
    EXPECT_EQ(ReadBytes(elsewhere), Original(64));
}

TEST(ShredderRefuses, Devices)
{
    ScratchFolder scratch;
    for (const std::string& device : {std::string("NUL"), std::string("CON"),
                                      std::string("\\\\.\\NUL"), scratch / "NUL",
                                      std::string("COM1")})
        EXPECT_FALSE(Shred(device)) << device;
}

// The platform drops trailing dots and blanks from the last name of a path,
// so "report." would reach "report". The named item is shredded as itself
// (Windows keeps such a name below a folder handle) or refused (Wine drops
// the dot there too, which the final path shows); "report" is never touched.
TEST(ShredderNames, TrailingDotsAndBlanksNeverReachAnotherItem)
{
    for (const std::string& name : {std::string("report."), std::string("report "),
                                    std::string("report. .")})
    {
        ScratchFolder scratch;
        WriteBytes(scratch / "report", Original(20));
        WriteBytes("\\\\?\\" + (scratch / name), Original(30));
        ASSERT_EQ(ListNames(scratch.Path()).size(), 2u) << name;

        const bool shredded = Shred(scratch / name);

        EXPECT_EQ(ReadBytes(scratch / "report"), Original(20)) << name;
        const std::vector<std::string> left = ListNames(scratch.Path());
        if (shredded)
            EXPECT_EQ(left, std::vector<std::string>{"report"}) << name;
        else
            EXPECT_EQ(ReadBytes("\\\\?\\" + (scratch / name)), Original(30)) << name;
    }
}

std::string ReadFirstBytes(const std::string& path, std::size_t length)
{
    HeldFile reader(path, ShareAll);
    return reader.IsOpen() ? reader.ReadAt(0, length) : std::string();
}

// While the walk is inside a folder, nobody can rename it: the folder is held
// without delete sharing. A large file keeps the walk there long enough for
// the attempts to be made while it runs.
TEST(ShredderFolders, FolderBeingWalkedCannotBeRenamed)
{
    ScratchFolder scratch;
    const std::string folder = scratch / "walked";
    MakeFolder(folder);
    const std::string big = folder + "\\big.bin";
    {
        HANDLE handle = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = 1LL << 30;
        const BOOL sized = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
        CloseHandle(handle);
        ASSERT_TRUE(sized);
    }

    std::atomic<bool> done(false);
    bool shredded = false;
    std::thread walk([&] {
        shredded = Shred(folder);
        done = true;
    });
    // The walk is inside once the big file's first bytes hold the pattern.
    while (!done && ReadFirstBytes(big, 14) != Default + '\0')
        Sleep(1);
    int refusedWhileWalking = 0;
    int renamed = 0;
    const std::string elsewhere = scratch / "moved away";
    while (!done)
    {
        if (MoveFileA(folder.c_str(), elsewhere.c_str()))
        {
            ++renamed;
            MoveFileA(elsewhere.c_str(), folder.c_str());
        }
        else if (!done && GetLastError() != ERROR_FILE_NOT_FOUND &&
                 GetLastError() != ERROR_PATH_NOT_FOUND)
        {
            ++refusedWhileWalking;
        }
        Sleep(1);
    }
    walk.join();

    EXPECT_TRUE(shredded);
    EXPECT_EQ(renamed, 0);
    EXPECT_GT(refusedWhileWalking, 0) << "no rename was tried while the walk ran";
    EXPECT_TRUE(ListNames(scratch.Path()).empty());
}

// Wine cannot make reparse points other than its symbolic links, so the
// decision is shown on the tags themselves.
struct ReparseCase
{
    const char* Label;
    DWORD Attributes;
    DWORD Tag;
    ReparseKind Kind;
};

class ShredderReparse : public testing::TestWithParam<ReparseCase>
{
};

TEST_P(ShredderReparse, OnlyNameSurrogatesAreLinks)
{
    EXPECT_EQ(ClassifyReparse(GetParam().Attributes, GetParam().Tag), GetParam().Kind);
}

const DWORD Reparse = FILE_ATTRIBUTE_REPARSE_POINT;
const DWORD FolderReparse = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;

INSTANTIATE_TEST_SUITE_P(
    Tags, ShredderReparse,
    testing::Values(
        ReparseCase{"PlainFile", FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_SYMLINK, ReparseKind::None},
        ReparseCase{"SymbolicLink", Reparse, IO_REPARSE_TAG_SYMLINK, ReparseKind::Link},
        ReparseCase{"Junction", FolderReparse, IO_REPARSE_TAG_MOUNT_POINT, ReparseKind::Link},
        ReparseCase{"WslSymbolicLink", Reparse, 0xA000001D, ReparseKind::Link},
        ReparseCase{"CloudPlaceholder", Reparse, 0x9000001A, ReparseKind::Data},
        ReparseCase{"CloudFolder", FolderReparse, 0x9000701A, ReparseKind::Data},
        ReparseCase{"Deduplicated", Reparse, 0x80000013, ReparseKind::Data},
        ReparseCase{"HierarchicalStorage", Reparse, 0xC0000004, ReparseKind::Data},
        ReparseCase{"AppExecutionAlias", Reparse, 0x8000001B, ReparseKind::Data}),
    [](const testing::TestParamInfo<ReparseCase>& info) { return info.param.Label; });
// What a progress function saw, and when it stops the shred.
struct ProgressLog
{
    std::vector<ShredCount> Counts;
    std::vector<std::wstring> Paths;
    unsigned long long StopAfterBytes = ~0ULL;

    static bool Tell(void* context, const ShredCount& count, const std::wstring& path)
    {
        ProgressLog& log = *static_cast<ProgressLog*>(context);
        log.Counts.push_back(count);
        log.Paths.push_back(path);
        return count.BytesDone < log.StopAfterBytes;
    }

    void ExpectRisingTo(unsigned long long bytes, unsigned long files) const
    {
        ASSERT_FALSE(Counts.empty());
        for (std::size_t i = 0; i < Counts.size(); ++i)
        {
            EXPECT_EQ(Counts[i].BytesTotal, bytes) << i;
            EXPECT_EQ(Counts[i].FilesTotal, files) << i;
            if (i > 0)
            {
                EXPECT_GE(Counts[i].BytesDone, Counts[i - 1].BytesDone) << i;
                EXPECT_GE(Counts[i].FilesDone, Counts[i - 1].FilesDone) << i;
            }
        }
        EXPECT_EQ(Counts.back().BytesDone, bytes);
        EXPECT_EQ(Counts.back().FilesDone, files);
    }
};

bool ShredTelling(const std::string& path, ProgressLog& log, int passes = 1)
{
    return FileShredder().Shred(path.c_str(), 0, passes, nullptr,
                                ShredProgress(&ProgressLog::Tell, &log));
}

TEST(ShredderProgress, FileCountsEveryByteOfEveryPass)
{
    ScratchFolder scratch;
    const std::string file = scratch / "big.bin";
    WriteBytes(file, Original(2 * MiB + 5));
    ProgressLog log;

    EXPECT_TRUE(ShredTelling(file, log, 2));

    log.ExpectRisingTo(2 * (2 * MiB + 5), 1);
    EXPECT_GE(log.Counts.size(), 5u) << "told before the file and after every block";
    EXPECT_FALSE(Exists(file));
}

TEST(ShredderProgress, TreeCountsItsFilesAndTheirSizes)
{
    ScratchFolder scratch;
    const std::string root = scratch / "tree";
    MakeFolder(root);
    MakeFolder(root + "\\sub");
    MakeFolder(root + "\\empty");
    WriteBytes(root + "\\a.txt", Original(10));
    WriteBytes(root + "\\sub\\b.bin", Original(MiB + 20));
    WriteBytes(root + "\\sub\\c.txt", Original(0));
    ProgressLog log;

    EXPECT_TRUE(ShredTelling(root, log));

    log.ExpectRisingTo(MiB + 30, 3);
    EXPECT_FALSE(Exists(root));
}

// Stopped after the first block: the file being written keeps its name with
// the rest of its old bytes, and nothing after it is touched.
TEST(ShredderProgress, StoppingLeavesTheRestUntouched)
{
    ScratchFolder scratch;
    const std::string root = scratch / "stopped";
    MakeFolder(root);
    const std::vector<std::string> names = {"one.bin", "two.bin", "three.bin", "four.bin"};
    for (const std::string& name : names)
        WriteBytes(root + "\\" + name, Original(3 * MiB));
    ProgressLog log;
    log.StopAfterBytes = 1;

    EXPECT_FALSE(ShredTelling(root, log));

    std::vector<std::string> listed = ListNames(root);
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    int begun = 0;
    for (const std::string& name : names)
    {
        const std::string bytes = ReadBytes(root + "\\" + name).value_or("");
        if (bytes == Original(3 * MiB))
            continue;
        ++begun;
        EXPECT_EQ(bytes.substr(0, 14), Default + '\0') << name;
        EXPECT_EQ(bytes.substr(2 * MiB), Original(3 * MiB).substr(2 * MiB)) << name;
    }
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(log.Counts.back().FilesDone, 1u);
}
// A shredded item's new name has as many characters as its own name, a
// character outside the Basic Multilingual Plane (two UTF-16 units) counting
// once, and is made of letters and digits only.
TEST(ShredderRenaming, NewNameCountsCharactersNotUnits)
{
    const std::wstring clef = L"\U0001D11E clef.txt";
    EXPECT_EQ(CharacterCount(clef), 10u);
    EXPECT_EQ(CharacterCount(L"\u6771\u4EAC.txt"), 6u);
    EXPECT_EQ(CharacterCount(L""), 0u);

    ScratchFolder scratch;
    const std::string folder = scratch / "scripts";
    MakeFolder(folder);
    const std::wstring name = L"\u6771\u4EAC\U0001D11E.txt";
    const std::wstring file = L"\\\\?\\" + std::wstring(folder.begin(), folder.end()) + L"\\" + name;
    HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);
    HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    EXPECT_TRUE(Shred(folder));

    ExpectOneItemRenamedFrom(folder, std::string(7, '?'));
    CloseHandle(holder);
}
} // namespace
