// Rules over path texts alone, apart from the file system.
#pragma once
#include <stddef.h>

// Whether path names the root of a drive or share (C: or C:\ or \ or \\server\share, and
// the empty text for the current one): no install goes there and no removal acts on it
// as a whole.
bool IsRootPath(const char* path);
// Whether path is complete on its own: a drive letter with its backslash, or a share
// with both its server and share names.
bool IsAbsolutePath(const char* path);
// A folder an install may go to: absolute and not a root.
bool IsUsableInstallFolder(const char* path);

// Whether path is one the system takes past its own normalisation, or a device:
// \\?\..., \\.\... and \??\... (either slash).
bool IsDevicePath(const char* path);
// The server of a share path (\\server\..., either slash; a "@port" or "@SSL" after the
// name dropped): its start, and its length in *length. Null for any other path.
const char* UncServerName(const char* path, size_t* length);
// Whether a server name means this computer whatever its own name is: "localhost",
// "." and "?", a loopback address in any form the resolver takes (127.0.0.1, 127.1,
// 0x7f000001, 2130706433) and the IPv6 loopback. A trailing dot is ignored.
bool IsLoopbackServer(const char* name, size_t length);
