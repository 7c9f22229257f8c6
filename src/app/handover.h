// Handing work to a second process that must outlive this one.
#pragma once
#include <windows.h>

// Starts commandLine suspended at idle priority with "\" as its folder, raises this
// process and thread, then lets the new one run. showWindow < 0 leaves the start-up
// information zero-filled. Returns false when the process could not be created.
bool HandOverTo(const char* commandLine, int showWindow);
// The running executable's path (260 bytes); false when unknown.
bool OwnExecutablePath(char* out, size_t cap);
