#pragma once

#include <windows.h>

// A modal dialog shown from a template in the program's own resources. The
// object owns no window: the dialog exists only while ShowModal runs, and the
// platform's modal loop destroys it when EndDialog is called.
//
// A derived class picks its behaviour by storing its own static procedure in
// Procedure and setting Ready; nothing is virtual.
class Dialog
{
public:
    Dialog();
    ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // 1 or 0 as the dialog ended it, 0 without showing anything when the
    // object is not Ready, -1 when the platform cannot create the dialog (for
    // example, when the template is missing).
    INT_PTR ShowModal(int templateId);

    static INT_PTR CALLBACK DefaultDialogProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);

    HWND Window; // the dialog's window while it is shown, otherwise null
    bool Ready;
    DLGPROC Procedure;
};

// The handling shared by the program's three question dialogs: the first
// button ends the dialog with 1; the second button, Esc (sent by the dialog
// manager as command 2) and the close box end it with 0.
class ConfirmDialog : public Dialog
{
public:
    ConfirmDialog();

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
