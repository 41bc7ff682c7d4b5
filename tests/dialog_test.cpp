#include "res/resource.h"
#include "win/Dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace
{
const std::string Warning = "Warning: This will render these file[s] irrecoverable. Are you sure "
                            "you want to shred these files?";

// Dialogs end themselves: a thread timer fires inside the modal loop, waits
// for the dialog window to exist and then runs the test's actions on it.
struct Script
{
    std::function<void(HWND)> Act;
    HWND Seen = nullptr;
};
Script* Running;

BOOL CALLBACK KeepVisibleDialog(HWND window, LPARAM found)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770" || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND FindThreadDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), KeepVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND window = FindThreadDialog();
    if (!window || Running->Seen)
        return;
    KillTimer(nullptr, timer);
    Running->Seen = window;
    Running->Act(window);
}

INT_PTR ShowAndAct(Dialog& dialog, int templateId, std::function<void(HWND)> act)
{
    Script script{std::move(act)};
    Running = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
    const INT_PTR result = dialog.ShowModal(templateId);
    if (!script.Seen)
        KillTimer(nullptr, timer);
    Running = nullptr;
    return result;
}

std::string Text(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK KeepTextStatic(HWND child, LPARAM found)
{
    char name[16] = {};
    GetClassNameA(child, name, sizeof name);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (std::string(name) == "Static" && (style & SS_TYPEMASK) != SS_ICON)
        *reinterpret_cast<std::string*>(found) = Text(child);
    return TRUE;
}

// The static text of a dialog: the one "Static" child that shows no icon.
std::string MessageText(HWND dialog)
{
    std::string found;
    EnumChildWindows(dialog, KeepTextStatic, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct TemplateCase
{
    int Id;
    const char* Title;
    const char* First;
    const char* Second;
    std::string Message;
};

class DialogTemplates : public testing::TestWithParam<TemplateCase>
{
};

TEST_P(DialogTemplates, ShowTheirTextsAndSmallIconAndEndWithTheFirstButton)
{
    const TemplateCase& c = GetParam();
    ConfirmDialog dialog;
    HWND windowDuring = nullptr;
    const INT_PTR result = ShowAndAct(dialog, c.Id, [&](HWND window) {
        windowDuring = dialog.Window;
        EXPECT_EQ(windowDuring, window);
        EXPECT_EQ(Text(window), c.Title);
        EXPECT_EQ(Text(GetDlgItem(window, IDOK)), c.First);
        EXPECT_EQ(Text(GetDlgItem(window, IDCANCEL)), c.Second);
        EXPECT_EQ(MessageText(window), c.Message);
        EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);
        EXPECT_EQ(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    });

    EXPECT_EQ(result, 1);
    EXPECT_NE(windowDuring, nullptr) << "Window holds the dialog while it is shown";
    EXPECT_EQ(dialog.Window, nullptr) << "Window is null once the dialog has ended";
}

INSTANTIATE_TEST_SUITE_P(
    Templates, DialogTemplates,
    testing::Values(
        TemplateCase{IDD_CONFIRM_SHRED, "Grindlet", "Yes", "No", Warning},
        TemplateCase{IDD_OFFER_INSTALL, "Install Grindlet?", "Yes", "No",
                     "Would you like to install Grindlet and add it to your \"Send To\" menu?"},
        TemplateCase{IDD_OFFER_REINSTALL, "Install Grindlet?", "Reinstall", "Uninstall",
                     "It appears Grindlet has previously been installed... Would you like to:"}),
    [](const testing::TestParamInfo<TemplateCase>& info) {
        return "Template" + std::to_string(info.param.Id);
    });

struct EndingCase
{
    const char* Label;
    UINT Message;
    WPARAM WParam;
    INT_PTR Result;
};

class DialogEndings : public testing::TestWithParam<EndingCase>
{
};

TEST_P(DialogEndings, EndWithTheButtonsValue)
{
    const EndingCase& c = GetParam();
    ConfirmDialog dialog;
    const INT_PTR result = ShowAndAct(dialog, IDD_CONFIRM_SHRED, [&](HWND window) {
        PostMessageA(window, c.Message, c.WParam, 0);
    });
    EXPECT_EQ(result, c.Result);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, DialogEndings,
    testing::Values(EndingCase{"FirstButton", WM_COMMAND, IDOK, 1},
                    EndingCase{"SecondButton", WM_COMMAND, IDCANCEL, 0},
                    EndingCase{"EscapeKey", WM_KEYDOWN, VK_ESCAPE, 0},
                    EndingCase{"CloseBox", WM_SYSCOMMAND, SC_CLOSE, 0},
                    EndingCase{"Close", WM_CLOSE, 0, 0}),
    [](const testing::TestParamInfo<EndingCase>& info) { return info.param.Label; });

TEST(Dialog, CommandWithNotificationCodeLeavesTheDialogOpen)
{
    ConfirmDialog dialog;
    const INT_PTR result = ShowAndAct(dialog, IDD_CONFIRM_SHRED, [](HWND window) {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 5), 0);
        EXPECT_TRUE(IsWindow(window) && IsWindowVisible(window));
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(result, 0);
}

TEST(Dialog, CanBeShownAgainOnTheSameObject)
{
    ConfirmDialog dialog;
    HWND first = nullptr;
    EXPECT_EQ(ShowAndAct(dialog, IDD_CONFIRM_SHRED,
                         [&](HWND window) {
                             first = window;
                             PostMessageA(window, WM_COMMAND, IDOK, 0);
                         }),
              1);
    EXPECT_EQ(ShowAndAct(dialog, IDD_OFFER_INSTALL,
                         [&](HWND window) {
                             EXPECT_EQ(dialog.Window, window);
                             PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                         }),
              0);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(dialog.Window, nullptr);
}

TEST(Dialog, PlainDialogShowsNothing)
{
    Dialog dialog;
    bool shown = false;
    EXPECT_EQ(ShowAndAct(dialog, IDD_CONFIRM_SHRED, [&](HWND) { shown = true; }), 0);
    EXPECT_FALSE(shown);
    EXPECT_EQ(dialog.Window, nullptr);
}

TEST(Dialog, MissingTemplateFails)
{
    ConfirmDialog dialog;
    EXPECT_EQ(dialog.ShowModal(999), -1);
    EXPECT_EQ(dialog.Window, nullptr);
}

TEST(Dialog, InitialisationWithoutObjectIsHandledInFull)
{
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr),
                                     MAKEINTRESOURCEA(IDD_CONFIRM_SHRED), nullptr,
                                     &ConfirmDialog::DialogProc, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(GetDlgItem(window, IDC_WARNING_TEXT)), Warning);
    EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);
    DestroyWindow(window);
}
} // namespace
