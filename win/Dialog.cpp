#include "win/Dialog.h"

#include "res/resource.h"

#include <commctrl.h>

namespace
{
const char WarningText[] = "Warning: This will render these file[s] irrecoverable. Are you sure "
                           "you want to shred these files?";

void PrepareWindow(HWND window)
{
    InitCommonControls();
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_GRINDLET));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    // Only the shred confirmation has this control; in the other dialogs the
    // call finds nothing and their template text stays.
    SendDlgItemMessageA(window, IDC_WARNING_TEXT, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(WarningText));
}
} // namespace

Dialog::Dialog() : Window(nullptr), Ready(false), Procedure(&Dialog::DefaultDialogProc) {}

Dialog::~Dialog()
{
    Window = nullptr;
}

INT_PTR Dialog::ShowModal(int templateId)
{
    if (!Ready)
        return 0;
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr,
                        Procedure, reinterpret_cast<LPARAM>(this));
    Window = nullptr;
    return result;
}

INT_PTR CALLBACK Dialog::DefaultDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

ConfirmDialog::ConfirmDialog()
{
    Procedure = &ConfirmDialog::DialogProc;
    Ready = true;
}

INT_PTR CALLBACK ConfirmDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam)
{
    if (message == WM_INITDIALOG && lParam)
        reinterpret_cast<Dialog*>(lParam)->Window = window;
    return HandleMessage(window, message, wParam, lParam);
}

// Answers 0 to every message. For WM_INITDIALOG that tells the dialog manager
// not to set the default focus. The whole wParam is compared, so a command
// with a notification code in its high word never ends the dialog.
INT_PTR ConfirmDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_CLOSE:
        EndDialog(window, 0);
        break;
    case WM_INITDIALOG:
        PrepareWindow(window);
        break;
    case WM_COMMAND:
        if (wParam == IDOK)
            EndDialog(window, 1);
        else if (wParam == IDCANCEL)
            EndDialog(window, 0);
        break;
    default:
        break;
    }
    return 0;
}
