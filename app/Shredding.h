#pragma once

#include "app/NameScanner.h"

// Asks with the shred confirmation dialog; true only for a real "Yes".
bool ConfirmShred();

// Shreds a file or folder with the default policy, one pass and the default
// pattern, and tells the user in a message box when that fails. A shred that
// takes more than a second shows its progress in a window with a Cancel
// button; a cancelled shred has failed.
bool ShredPath(const char* path);

// The message box that reports a name that could not be shredded.
void ReportShredFailure();

// The file-list mode: every name of the argument text is asked about and, on
// Yes, shredded. A name too long for CurrentFile is reported as not shredded.
void ShredNamedFiles(const char* arguments, char (&CurrentFile)[PathBufferSize]);
