#include "app/Shredding.h"

#include "app/ShredProgressWindow.h"
#include "res/resource.h"
#include "shred/FileShredder.h"
#include "win/Dialog.h"

#include <windows.h>

bool ConfirmShred()
{
    ConfirmDialog dialog;
    return dialog.ShowModal(IDD_CONFIRM_SHRED) == 1;
}

void ReportShredFailure()
{
    MessageBoxA(nullptr, "Critical ERRROR!", "The file was NOT shredded!", MB_ICONERROR);
}

// A name that takes more than a second shows how far it has come, and can
// be cancelled; the window goes before the error box comes.
bool ShredPath(const char* path)
{
    {
        ShredProgressWindow window;
        if (FileShredder().Shred(path, 0, 1, nullptr,
                                 ShredProgress(&ShredProgressWindow::Tell, &window)))
            return true;
    }
    ReportShredFailure();
    return false;
}

void ShredNamedFiles(const char* arguments, char (&CurrentFile)[PathBufferSize])
{
    ScanNames(arguments, CurrentFile, [&CurrentFile](bool fits) {
        if (!fits)
            ReportShredFailure();
        else if (ConfirmShred())
            ShredPath(CurrentFile);
    });
}
