// Folders of the run's own that no standard user can write into: the working copy of the
// script lives in one, and the self-removal's batch file in another. The elevated
// program reads both again and again; anything a user could change there would run
// with administrator rights.
#pragma once
#include <windows.h>
#include <stddef.h>

// Makes a new folder "Setup-<process>-<n>" under the Windows folder's Temp (the user's
// temporary folder when that one is missing), where the system allows it with a
// protected list that gives full access to the administrators and the system alone.
// Never an existing folder. False when none could be made.
bool MakePrivateFolder(char* folder, size_t cap);
// The security descriptor text of such a folder.
extern const char kPrivateFolderSecurity[];
