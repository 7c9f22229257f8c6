// Launch entries taken apart: the fields of a [Go2] value, the program and parameters
// of a shell-form target, the option words, the kinds of library and program name, the
// places a bare program name is looked for, and the lines of the failure reports.
//
// Pure code without a Windows header, so that it can be compiled and fuzzed on any
// host. Semicolons, quotes and blanks are searched for as characters (base/text.h),
// never as the trail byte of a double-byte character.
#pragma once
#include <stddef.h>
#include <string.h>
#include "script/vocabulary.h"

constexpr size_t kLaunchValueSize = kLongValueSize;  // a value, terminator included
constexpr size_t kLaunchFieldSize = kValueSize;      // the entry and the option

// target;entry;option. The target keeps the room of a whole value, which also holds
// the 520 bytes its folder tokens may expand to.
struct LaunchFields {
    char target[kLaunchValueSize];
    char entry[kLaunchFieldSize];
    char option[kLaunchFieldSize];
    // What did not fit. A cut target or entry names another program, library or
    // function and is never started, loaded or looked up; a cut option is no keyword.
    bool targetCut, entryCut, optionCut;
};

// Splits value at its first two semicolons: the entry between them, the option
// everything after the second (further semicolons included). valueCut says that the
// value itself was cut when it was read; the field that runs to its end is then cut.
void SplitLaunchValue(const char* value, bool valueCut, LaunchFields* out);

// The program and the parameters of a shell-form target. A target starting with a
// double quote: the program runs to the next double quote, both quotes kept (one is
// added when it is never closed), and the parameters follow the blank after it. Any
// other target is cut at its first blank. False when either part had to be cut;
// program needs room for the target and one byte more.
bool SplitProgram(const char* target, char* program, size_t programCap, char* parameters, size_t parametersCap);

// Show commands as the platform numbers them.
constexpr int kLaunchHide = 0;
constexpr int kLaunchMaximized = 3;
constexpr int kLaunchShown = 5;
constexpr int kLaunchMinimized = 6;

// "hide", "min", "max" in any case; anything else, empty included, shows the program.
int LaunchShowCommand(const char* option);
bool IsHideOption(const char* option);
// The entry that only asks whether the library can be loaded.
bool IsPresenceCheck(const char* entry);

// How a library target names its file: a bare file name, a complete path (a drive
// letter with its backslash, or \\server\share\...), or anything else (a relative
// path, a drive without its backslash, an empty name).
enum class LibraryName { Bare, Absolute, Relative };
LibraryName ClassifyLibraryName(const char* name);

// ---- where a shell-form program comes from ------------------------------------------

// How a program of the shell form names what it starts, once its quotes are off and
// its environment variables replaced. The folder Setup.exe was started from may hold
// anything, so no form of name is ever looked for there.
enum class ProgramName {
    Bare,       // a file name alone: looked for in the system and Windows folders only
    InFolder,   // a relative path with a folder (bin\tool.exe): taken below the install folder
    AsWritten,  // a complete path (C:\..., C:/..., \\server\share\...) or a URL (http:, mailto:)
    Refused,    // empty, \tool.exe, C:tool.exe, a file: URL: names that lead through the current folder
};
ProgramName ClassifyProgramName(const char* name);

// The program as SplitProgram gives it without the double quotes around it; false when
// name had to be cut.
bool UnquoteProgram(const char* program, char* name, size_t cap);

// Candidate index (0, 1, ...) of the places a bare program name is looked for: in the
// system folder the name as written and, when it has no extension, the name with ".com",
// ".exe", ".bat" and ".cmd"; then the same in the Windows folder. False past the last
// one. A folder that is not a complete path (one that could not be read) gives no
// candidates, and a candidate that does not fit in cap is left out: path is then empty.
bool BareProgramCandidate(const char* name, const char* systemFolder, const char* windowsFolder, int index,
                          char* path, size_t cap);

// The first candidate of a bare name for which isFile(path) holds, into path; false
// (path empty) when there is none.
template <typename IsFile>
bool FindBareProgram(const char* name, const char* systemFolder, const char* windowsFolder, char* path, size_t cap,
                     IsFile isFile) {
    for (int i = 0; BareProgramCandidate(name, systemFolder, windowsFolder, i, path, cap); ++i)
        if (path[0] && isFile(static_cast<const char*>(path))) return true;
    if (cap) path[0] = 0;
    return false;
}

// ---- failure reports ----------------------------------------------------------------

enum class LaunchReport { LoadFailure, NotALibrary, MissingEntry };

// The pieces of the line that a failure adds to its report (at most 5); returns their
// number.
int ReportLinePieces(LaunchReport kind, const LaunchFields& fields, const char* pieces[5]);

// Adds one line to a growing report, starting it with its heading when it is empty.
// A report that cannot grow is released, so that the next line starts a new one with
// the heading. Text: Append(bytes, n) false when memory ran out, size(), Release().
template <typename Text>
bool AddReportLine(Text& report, const char* heading, LaunchReport kind, const LaunchFields& fields) {
    const char* pieces[5];
    int count = ReportLinePieces(kind, fields, pieces);
    bool grown = report.size() != 0 || report.Append(heading, strlen(heading));
    for (int i = 0; grown && i < count; ++i) grown = report.Append(pieces[i], strlen(pieces[i]));
    if (!grown) report.Release();
    return grown;
}

// The option as a keyword: a cut option is none.
inline const char* OptionKeyword(const LaunchFields& fields) { return fields.optionCut ? "" : fields.option; }
