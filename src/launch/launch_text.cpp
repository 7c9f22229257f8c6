#include "launch/launch_text.h"
#include "base/text.h"
#include "script/path_rules.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The first blank character of text; a trail byte is never taken for one.
const char* FindFirstBlank(const char* text) {
    for (const char* p = text; *p; p += IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1)
        if (IsBlank(*p)) return p;
    return nullptr;
}

// The text up to the next semicolon (or its end) into field; *next after that
// semicolon, or null when there was none. False when the field had to be cut.
bool TakeField(const char* text, char* field, size_t cap, const char** next) {
    const char* semicolon = FindFirstChar(text, ';');
    size_t length = semicolon ? (size_t)(semicolon - text) : strlen(text);
    *next = semicolon ? semicolon + 1 : nullptr;
    field[0] = 0;
    return AppendBoundedN(field, cap, text, length);
}

}  // namespace

void SplitLaunchValue(const char* value, bool valueCut, LaunchFields* out) {
    out->entry[0] = out->option[0] = 0;
    out->entryCut = out->optionCut = false;
    const char* entry = nullptr;
    out->targetCut = !TakeField(value, out->target, sizeof out->target, &entry) || (valueCut && !entry);
    if (!entry) return;
    const char* option = nullptr;
    out->entryCut = !TakeField(entry, out->entry, sizeof out->entry, &option) || (valueCut && !option);
    if (!option) return;
    out->optionCut = !CopyBounded(out->option, sizeof out->option, option) || valueCut;
}

bool SplitProgram(const char* target, char* program, size_t programCap, char* parameters, size_t parametersCap) {
    if (!program || programCap == 0 || !parameters || parametersCap == 0) return false;
    program[0] = 0;
    parameters[0] = 0;
    if (target[0] == '"') {
        const char* close = FindFirstChar(target + 1, '"');
        if (!close) return CopyBounded(program, programCap, target) && AppendBounded(program, programCap, "\"");
        bool whole = AppendBoundedN(program, programCap, target, (size_t)(close - target) + 1);
        // Only a blank separates: a parameter written right after the quote keeps its
        // first character, and half a double-byte character is never left behind.
        const char* rest = close + 1;
        if (IsBlank(*rest)) ++rest;
        return CopyBounded(parameters, parametersCap, rest) && whole;
    }
    const char* blank = FindFirstBlank(target);
    if (!blank) return CopyBounded(program, programCap, target);
    bool whole = AppendBoundedN(program, programCap, target, (size_t)(blank - target));
    return CopyBounded(parameters, parametersCap, blank + 1) && whole;
}

int LaunchShowCommand(const char* option) {
    if (EqualsAsciiNoCase(option, "hide")) return kLaunchHide;
    if (EqualsAsciiNoCase(option, "min")) return kLaunchMinimized;
    if (EqualsAsciiNoCase(option, "max")) return kLaunchMaximized;
    return kLaunchShown;
}

bool IsHideOption(const char* option) { return EqualsAsciiNoCase(option, "hide"); }

bool IsPresenceCheck(const char* entry) { return EqualsAsciiNoCase(entry, "#CheckExist"); }

LibraryName ClassifyLibraryName(const char* name) {
    if (!name[0]) return LibraryName::Relative;
    if (IsAbsolutePath(name)) return LibraryName::Absolute;
    if (FindFirstChar(name, '\\') || FindFirstChar(name, '/') || FindFirstChar(name, ':'))
        return LibraryName::Relative;
    return LibraryName::Bare;
}

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A URL's scheme: a letter, then letters, digits, "+", "-" or ".", then a colon; two
// characters at least, so that a drive letter is none.
bool HasScheme(const char* name) {
    if (!IsAsciiLetter(name[0])) return false;
    const char* p = name + 1;
    while (IsAsciiLetter(*p) || (*p >= '0' && *p <= '9') || *p == '+' || *p == '-' || *p == '.') ++p;
    return *p == ':' && p - name >= 2;
}

const char* const kProgramExtensions[] = {"", ".com", ".exe", ".bat", ".cmd"};
constexpr int kExtensionCount = sizeof kProgramExtensions / sizeof kProgramExtensions[0];

// A dot with something after it; a bare name has no folder whose dots could count.
bool HasExtension(const char* name) {
    const char* dot = FindLastChar(name, '.');
    return dot && dot[1];
}

}  // namespace

ProgramName ClassifyProgramName(const char* name) {
    if (!name[0]) return ProgramName::Refused;
    if (IsAbsolutePath(name) || (IsAsciiLetter(name[0]) && name[1] == ':' && name[2] == '/'))
        return ProgramName::AsWritten;
    // A file: URL may name a file relative to the current folder; any other scheme is
    // opened by its handler, with no file search.
    if (HasScheme(name)) return StartsWithAsciiNoCase(name, "file:") ? ProgramName::Refused : ProgramName::AsWritten;
    const bool folder = FindFirstChar(name, '\\') || FindFirstChar(name, '/');
    if (FindFirstChar(name, ':')) return ProgramName::Refused;  // C:tool.exe, or a stream
    if (!folder) return ProgramName::Bare;
    if (name[0] == '\\' || name[0] == '/') return ProgramName::Refused;  // from the current drive's root
    return ProgramName::InFolder;
}

bool UnquoteProgram(const char* program, char* name, size_t cap) {
    if (program[0] != '"') return CopyBounded(name, cap, program);
    size_t length = strlen(program + 1);
    if (length && program[length] == '"') --length;  // SplitProgram closes every quote
    if (cap) name[0] = 0;
    return AppendBoundedN(name, cap, program + 1, length);
}

bool BareProgramCandidate(const char* name, const char* systemFolder, const char* windowsFolder, int index,
                          char* path, size_t cap) {
    const int perFolder = HasExtension(name) ? 1 : kExtensionCount;
    if (index < 0 || index >= 2 * perFolder || cap == 0) return false;
    const char* folder = index < perFolder ? systemFolder : windowsFolder;
    path[0] = 0;
    if (!folder || !IsAbsolutePath(folder)) return true;
    const char* last = FindLastBackslash(folder);
    bool whole = CopyBounded(path, cap, folder);
    if (whole && !(last && !last[1])) whole = AppendBounded(path, cap, "\\");
    whole = whole && AppendBounded(path, cap, name) && AppendBounded(path, cap, kProgramExtensions[index % perFolder]);
    if (!whole) path[0] = 0;  // a cut candidate names another file
    return true;
}

int ReportLinePieces(LaunchReport kind, const LaunchFields& fields, const char* pieces[5]) {
    int n = 0;
    pieces[n++] = fields.target;
    if (kind == LaunchReport::MissingEntry) {
        pieces[n++] = "\n -> ";
        pieces[n++] = fields.entry;
    } else if (kind == LaunchReport::NotALibrary && fields.option[0]) {
        pieces[n++] = "\n -> ";
        pieces[n++] = fields.option;
    }
    pieces[n++] = "\n";
    return n;
}
