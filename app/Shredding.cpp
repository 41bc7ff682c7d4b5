#include "app/Shredding.h"

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

bool ShredPath(const char* path)
{
    FileShredder shredder;
    if (shredder.Shred(path, 0, 1, nullptr))
        return true;
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
