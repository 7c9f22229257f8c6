// Replacement and deletion of files at the next restart of Windows.
#pragma once
#include <windows.h>
#include <stddef.h>

enum class RestartRoute {
    None,        // nothing was scheduled: the caller must not count on the restart
    DelayedMove, // the system took the request
    WinInit,     // an instruction line went to WinInit.Ini
};

// With a target: path replaces target at restart; without: path is deleted at restart.
// On the WinInit.Ini route both buffers (260 bytes) are rewritten to their short form.
// The NT family never reads WinInit.Ini, so there a refused delayed move is the end.
RestartRoute ReplaceAtRestart(char* path, char* target);
// The WinInit.Ini route alone, against the given instruction file; false when the
// instruction could not be written (the file is then left as it was).
bool WriteRenameInstruction(const char* iniPath, char* path, char* target);
bool IsDirectory(const char* path);
// source copied to a new "RBT" temporary file beside destination, which then replaces
// destination at the restart. None when nothing was scheduled (no empty or partial copy
// ever replaces the destination, nor stays).
RestartRoute CopyViaTemporaryFile(const char* source, char* destination);
