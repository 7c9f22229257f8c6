#include "app/command_line.h"
#include <string.h>
#include "base/text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One word of the text: up to a blank outside double quotes, the quotes dropped. Returns
// where the next word may begin; false in *cut when the word did not fit.
const char* NextWord(const char* p, char* word, size_t cap, bool* cut) {
    size_t n = 0;
    bool quoted = false;
    *cut = false;
    while (*p && (quoted || !IsBlank(*p))) {
        size_t step = IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1;
        if (*p == '"') {
            quoted = !quoted;
        } else if (n + step < cap) {
            memcpy(word + n, p, step);
            n += step;
        } else {
            *cut = true;
        }
        p += step;
    }
    word[n] = 0;
    while (IsBlank(*p)) ++p;
    return p;
}

// The rest of the text as one value: its double quotes (never part of a path) and its
// trailing blanks dropped. False when it did not fit.
bool RestOfText(const char* p, char* value, size_t cap) {
    size_t n = 0;
    bool whole = true;
    for (; *p; ++p) {
        size_t step = IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1;
        if (*p != '"') {
            if (n + step < cap) {
                memcpy(value + n, p, step);
                n += step;
            } else {
                whole = false;
            }
        }
        p += step - 1;
    }
    while (n > 0 && IsBlank(value[n - 1])) --n;
    value[n] = 0;
    return whole;
}

bool IsFolderToEnd(const char* p) {
    if (*p == '"') ++p;
    return (p[0] == '/' || p[0] == '-') && (p[1] == 'D' || p[1] == 'd') && p[2] == '=';
}

bool IsSwitchStart(const char* word) {
    return word[0] == '/' || word[0] == '-' || StartsWithAsciiNoCase(word, "INSTALLDIR=");
}

// The name of a switch without its / or -, and its value after "=" (null without one).
// The name is compared by its own length, so "/S=1" is no "/S".
bool NameIs(const char* name, size_t length, const char* known) {
    return strlen(known) == length && StartsWithAsciiNoCase(name, known);
}

void MarkBad(CommandLine* out, const char* word) {
    if (!out->bad) CopyBounded(out->badWord, sizeof out->badWord, word);
    out->bad = true;
}

// One switch; false when it is not known.
bool TakeSwitch(const char* word, bool cut, CommandLine* out) {
    const char* name = word[0] == '/' || word[0] == '-' ? word + 1 : word;
    const char* equals = FindFirstChar(name, '=');
    size_t length = equals ? (size_t)(equals - name) : strlen(name);
    const char* value = equals ? equals + 1 : nullptr;
    if (!value) {
        if (NameIs(name, length, "S") || NameIs(name, length, "VERYSILENT") || NameIs(name, length, "QUIET") ||
            NameIs(name, length, "QN")) {
            out->quiet = Quietness::Silent;
            return true;
        }
        if (NameIs(name, length, "SILENT") || NameIs(name, length, "PASSIVE") || NameIs(name, length, "QB")) {
            if (out->quiet != Quietness::Silent) out->quiet = Quietness::Progress;
            return true;
        }
        if (NameIs(name, length, "NORESTART")) return out->noRestart = true;
        if (NameIs(name, length, "FORCERESTART")) return out->forceRestart = true;
        if (NameIs(name, length, "?") || NameIs(name, length, "HELP")) return out->help = true;
        if (NameIs(name, length, "LOG")) {
            out->log = true;
            out->logPath[0] = 0;
            return true;
        }
        return false;
    }
    if (NameIs(name, length, "D") || NameIs(name, length, "DIR") || NameIs(name, length, "INSTALLDIR")) {
        out->folderGiven = true;
        out->folderCut = !CopyBounded(out->folder, sizeof out->folder, value) || cut;
        return true;
    }
    if (NameIs(name, length, "LOG")) {
        // A log path that does not fit would write some other file.
        if (cut || !CopyBounded(out->logPath, sizeof out->logPath, value)) return false;
        out->log = true;
        return true;
    }
    return false;
}

void TakeSwitches(const char* p, CommandLine* out) {
    out->switches = true;
    char word[kSwitchValueSize + 32];
    while (*p) {
        // "/D=" takes the rest of the text, blanks and all.
        if (IsFolderToEnd(p)) {
            char value[kSwitchValueSize + 8];
            bool whole = RestOfText(p, value, sizeof value);
            out->folderGiven = true;
            out->folderCut = !whole || !CopyBounded(out->folder, sizeof out->folder, value + 3);
            return;
        }
        bool cut = false;
        p = NextWord(p, word, sizeof word, &cut);
        if (!word[0]) continue;  // "" as a word
        if (!IsSwitchStart(word) || !TakeSwitch(word, cut, out)) MarkBad(out, word);
    }
}

}  // namespace

void ParseCommandLine(const char* arguments, CommandLine* out) {
    *out = CommandLine();
    const char* text = arguments ? arguments : "";
    if (strcmp(text, "remove") == 0) {
        out->mode = RunMode::Remove;
        return;
    }
    if (strcmp(text, "reboot") == 0) {
        out->mode = RunMode::Reboot;
        return;
    }
    if (strcmp(text, "uninstall") == 0) {
        out->mode = RunMode::Uninstall;
        return;
    }
    while (IsBlank(*text)) ++text;
    char first[kSwitchValueSize + 32];
    bool cut = false;
    const char* rest = NextWord(text, first, sizeof first, &cut);
    if (EqualsAsciiNoCase(first, "uninstall") && *rest) {
        char second[kSwitchValueSize + 32];
        NextWord(rest, second, sizeof second, &cut);
        if (!IsSwitchStart(second)) return;  // "uninstall" and a word: a plain install, as before
        out->mode = RunMode::Uninstall;
        TakeSwitches(rest, out);
        return;
    }
    if (IsSwitchStart(first)) TakeSwitches(text, out);
}
