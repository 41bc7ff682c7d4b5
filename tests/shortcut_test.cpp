#include "scratch.h"
#include "win/Shortcut.h"

#include <gtest/gtest.h>

#include <objidl.h>
#include <shlobj.h>

#include <thread>

namespace
{
struct Loaded
{
    HRESULT Result = E_FAIL;
    std::string Path;
    std::string Description;
};

// Loads a saved shortcut into a fresh link object and reads it back.
Loaded LoadShortcut(const std::string& link)
{
    Loaded loaded;
    IShellLinkA* psl = nullptr;
    loaded.Result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, reinterpret_cast<void**>(&psl));
    if (FAILED(loaded.Result))
        return loaded;
    IPersistFile* ppf = nullptr;
    loaded.Result = psl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&ppf));
    if (SUCCEEDED(loaded.Result))
    {
        WCHAR wide[1024];
        MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, 1024);
        loaded.Result = ppf->Load(wide, STGM_READ);
        char text[1024] = {};
        psl->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
        loaded.Path = text;
        psl->GetDescription(text, sizeof text);
        loaded.Description = text;
        ppf->Release();
    }
    psl->Release();
    return loaded;
}

class ShortcutTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        Target = Scratch / "Grindlet.exe";
        WriteBytes(Target, "MZ");
    }
    void TearDown() override { CoUninitialize(); }

    // A link path of exactly `length` characters inside the scratch folder.
    std::string LinkOfLength(std::size_t length)
    {
        std::string folder = Scratch / std::string(120, 'f');
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::size_t nameLength = length - folder.size() - 1 - 4;
        return folder + "\\" + std::string(nameLength, 'n') + ".lnk";
    }

    ScratchFolder Scratch;
    std::string Target;
};

TEST_F(ShortcutTest, SavedShortcutLoadsBackWithTargetAndDescription)
{
    const std::string link = Scratch / "Grindlet (shred this file).lnk";
    EXPECT_EQ(CreateShortcut(Target.c_str(), link.c_str(), "File Shredder"), S_OK);

    const Loaded loaded = LoadShortcut(link);
    ASSERT_EQ(loaded.Result, S_OK);
    EXPECT_EQ(loaded.Path, Target);
    EXPECT_EQ(loaded.Description, "File Shredder");
}

TEST_F(ShortcutTest, MissingFolderFailsAndWritesNothing)
{
    const std::string link = Scratch / "absent\\link.lnk";
    EXPECT_TRUE(FAILED(CreateShortcut(Target.c_str(), link.c_str(), "File Shredder")));
    EXPECT_FALSE(Exists(link));
}

TEST_F(ShortcutTest, WithoutComTheLinkObjectCannotBeCreated)
{
    const std::string link = Scratch / "uninitialised.lnk";
    HRESULT result = S_OK;
    std::thread([&] { result = CreateShortcut(Target.c_str(), link.c_str(), "File Shredder"); })
        .join();
    EXPECT_EQ(result, CO_E_NOTINITIALIZED);
    EXPECT_FALSE(Exists(link));
}

TEST_F(ShortcutTest, LinkPathOfMaxPathMinusOneIsSavedWhole)
{
    const std::string link = LinkOfLength(MAX_PATH - 1);
    ASSERT_EQ(link.size(), static_cast<std::size_t>(MAX_PATH - 1));
    EXPECT_EQ(CreateShortcut(Target.c_str(), link.c_str(), "File Shredder"), S_OK);
    EXPECT_TRUE(Exists(link));
    EXPECT_EQ(LoadShortcut(link).Description, "File Shredder");
}

TEST_F(ShortcutTest, LinkPathTooLongIsRefusedWithoutAFile)
{
    const std::string link = LinkOfLength(MAX_PATH);
    const std::string folder = link.substr(0, link.rfind('\\'));
    EXPECT_TRUE(FAILED(CreateShortcut(Target.c_str(), link.c_str(), "File Shredder")));

    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*.lnk").c_str(), &data);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "no shortcut under any name: " << data.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}
} // namespace
