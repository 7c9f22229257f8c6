// Handing work to a second process that must outlive this one.
#pragma once
#include <windows.h>

// Starts commandLine suspended at idle priority with "\" as its folder, raises this
// process and thread, then lets the new one run. showWindow < 0 leaves the start-up
// information zero-filled. Returns false when the process could not be created.
bool HandOverTo(const char* commandLine, int showWindow);
// The command line of a hand-over: the program path quoted, so that a folder with
// blanks still hands over exactly argument; false when it does not fit.
bool FormatHandOverCommand(char* out, size_t cap, const char* program, const char* argument);
// The running executable's path (260 bytes); false when unknown.
bool OwnExecutablePath(char* out, size_t cap);
// The Setup.exe of the run (Run().program when set, else this executable); false when unknown.
bool ProgramPath(char* out, size_t cap);
