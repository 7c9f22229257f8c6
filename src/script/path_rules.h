// Rules over path texts alone, apart from the file system.
#pragma once

// Whether path names the root of a drive or share (C: or C:\ or \ or \\server\share, and
// the empty text for the current one): no install goes there and no removal acts on it
// as a whole.
bool IsRootPath(const char* path);
// Whether path is complete on its own: a drive letter with its backslash, or a share
// with both its server and share names.
bool IsAbsolutePath(const char* path);
// A folder an install may go to: absolute and not a root.
bool IsUsableInstallFolder(const char* path);
