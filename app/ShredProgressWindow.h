#pragma once

#include "shred/FileShredder.h"

#include <windows.h>

#include <string>

// The window that shows how far the shredding of one name has come, with a
// Cancel button. It appears only once the name has taken a second, so that
// short shreds look as they always did. It is a modeless dialog on the one
// thread: the shredder calls Tell between blocks, and Tell runs the window's
// waiting messages.
class ShredProgressWindow
{
public:
    ShredProgressWindow();
    ~ShredProgressWindow();
    ShredProgressWindow(const ShredProgressWindow&) = delete;
    ShredProgressWindow& operator=(const ShredProgressWindow&) = delete;

    // The shredder's progress function: false once the user has cancelled.
    static bool Tell(void* context, const ShredCount& count, const std::wstring& path);

    void Close();

private:
    void Show();
    void Update(const ShredCount& count, const std::wstring& path);
    void RunWaitingMessages();
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND Window;
    bool Shown; // the window was made, or could not be: it is not tried again
    ULONGLONG Start;
    ULONGLONG LastUpdate;
    bool Cancelled;
};
