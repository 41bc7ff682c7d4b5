#include "app/ShredProgressWindow.h"

#include "res/resource.h"

#include <commctrl.h>

#include <cstdio>

namespace
{
// A name that is done within this time shows no window at all.
const ULONGLONG ShowAfter = 1000;
// The window is brought up to date, and its messages run, this often.
const ULONGLONG UpdateEvery = 50;
const int BarSteps = 1000;

std::string SizeText(unsigned long long bytes)
{
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    char text[32];
    if (bytes < 1024)
    {
        std::snprintf(text, sizeof text, "%llu bytes", bytes);
        return text;
    }
    double size = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    for (; size >= 1024 && unit + 1 < sizeof units / sizeof units[0]; ++unit)
        size /= 1024;
    std::snprintf(text, sizeof text, "%.1f %s", size, units[unit]);
    return text;
}

std::string Grouped(unsigned long number)
{
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

// "1.2 GB of 4.0 GB - 312 of 2,000 files"
std::string CountText(const ShredCount& count)
{
    return SizeText(count.BytesDone) + " of " + SizeText(count.BytesTotal) + " - " +
           Grouped(count.FilesDone) + " of " + Grouped(count.FilesTotal) +
           (count.FilesTotal == 1 ? " file" : " files");
}

// "\\?\C:\folder" and "\\?\UNC\server\share" as a person writes them.
std::wstring Readable(const std::wstring& path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}
} // namespace

ShredProgressWindow::ShredProgressWindow()
    : Window(nullptr), Shown(false), Start(GetTickCount64()), LastUpdate(0), Cancelled(false)
{
}

ShredProgressWindow::~ShredProgressWindow()
{
    Close();
}

void ShredProgressWindow::Close()
{
    if (Window)
        DestroyWindow(Window);
    Window = nullptr;
}

bool ShredProgressWindow::Tell(void* context, const ShredCount& count, const std::wstring& path)
{
    ShredProgressWindow& self = *static_cast<ShredProgressWindow*>(context);
    const ULONGLONG now = GetTickCount64();
    if (!self.Shown && now - self.Start >= ShowAfter)
        self.Show();
    if (self.Window && now - self.LastUpdate >= UpdateEvery)
    {
        self.LastUpdate = now;
        self.Update(count, path);
        self.RunWaitingMessages();
    }
    return !self.Cancelled;
}

void ShredProgressWindow::Show()
{
    Shown = true;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    Window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SHRED_PROGRESS),
                                nullptr, &ShredProgressWindow::DialogProc,
                                reinterpret_cast<LPARAM>(this));
}

void ShredProgressWindow::Update(const ShredCount& count, const std::wstring& path)
{
    SetDlgItemTextW(Window, IDC_PROGRESS_PATH, Readable(path).c_str());
    SetDlgItemTextA(Window, IDC_PROGRESS_COUNT, CountText(count).c_str());
    const unsigned long long total = count.BytesTotal ? count.BytesTotal : 1;
    SendDlgItemMessageA(Window, IDC_PROGRESS_BAR, PBM_SETPOS,
                        static_cast<WPARAM>(count.BytesDone * BarSteps / total), 0);
}

// IsDialogMessageA turns Escape into the Cancel button's command.
void ShredProgressWindow::RunWaitingMessages()
{
    MSG message;
    while (Window && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (IsDialogMessageA(Window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

INT_PTR CALLBACK ShredProgressWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_GRINDLET));
        SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, BarSteps);
        return TRUE;
    }
    ShredProgressWindow* self =
        reinterpret_cast<ShredProgressWindow*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE)
    {
        self->Cancelled = true;
        EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
        return TRUE;
    }
    return FALSE;
}
