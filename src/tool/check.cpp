#include "tool/check.h"
#include "tool/files.h"
#include <windows.h>
#include <string.h>
#include <map>
#include <set>
#include <vector>
#include "base/handles.h"
#include "base/text.h"
#include "draw/bmp_layout.h"
#include "draw/draw_parse.h"
#include "draw/drawing_files.h"
#include "install/copy.h"
#include "install/copy_entry.h"
#include "launch/launch.h"
#include "launch/launch_text.h"
#include "registry/registry.h"
#include "registry/registry_parse.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"
#include "shell/shell_link.h"
#include "shell/shortcut_text.h"
#include "tool/check_rules.h"
#include "install/choices.h"
#include "tool/ini_text.h"
#include "tool/plan_output.h"
#include "tool/vocabulary.h"
#include "ui/readme_dialog.h"
#include "ui/readme_pages.h"
#include "uninstall/removal_plan.h"

namespace {

constexpr DWORD kMaxScriptBytes = 64u << 20;

std::string Num(long long n) { return std::to_string(n); }
std::string Section(const std::string& name) { return "[" + name + "]"; }

bool StartsWithUtf16Mark(const std::string& bytes) {
    return bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE;
}

// The text of a UTF-16 script (little-endian, after its mark) in the system's code page,
// as the profile calls of the NT family hand its values over; "" when it cannot be converted.
std::string AnsiFromUtf16(const std::string& bytes) {
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    if (wide.empty()) return "";
    memcpy(&wide[0], bytes.data() + 2, wide.size() * sizeof(wchar_t));
    int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return "";
    std::string text((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
    return text;
}

class Checker {
public:
    Checker(const std::string& folder, Findings& out) : folder_(folder), out_(out) {
        script_ = folder_;
        if (!script_.empty() && script_.back() != '\\') script_ += "\\";
        script_ += "Setup.ini";
    }

    bool Run() {
        std::string bytes;
        if (!ReadWholeFile(script_, kMaxScriptBytes, &bytes)) {
            out_.Error(0, "cannot be read (no such file, or larger than 64 MiB)");
            return false;
        }
        bool utf16 = StartsWithUtf16Mark(bytes);
        if (utf16) bytes = AnsiFromUtf16(bytes);
        ini_ = ParseIni(bytes.data(), bytes.size());
        if (utf16)
            out_.Warn(1, "the file is UTF-16 text: the NT family reads it, the 9x family reads nothing of it, and "
                         "characters outside the system's code page become '?'; save the script in the system's code page");
        // Relative names resolve as for a Setup.exe started from its own folder.
        SetCurrentDirectoryA(folder_.c_str());
        ReadDialogChoices(script(), &choices_);
        ReadText("Root", "Named", base_, sizeof base_, script());
        ReadText("Setup", "Name", product_, sizeof product_, script());
        // The record the install compares with: the script itself for an installed copy,
        // else the one in the folder it installs into.
        if (choices_.record) {
            earlierRecord_ = script_;
        } else {
            char path[kPathSize];
            if (CopyBounded(path, sizeof path, choices_.installFolder) && JoinPath(path, "Setup.ini")) earlierRecord_ = path;
        }
        CheckStructure();
        CheckRoot();
        CheckBoxes();
        CheckCopyList();
        CheckFolders();
        CheckBackdrop();
        CheckReadme();
        CheckShortcuts();
        CheckLastGo();
        CheckRegistry();
        CheckAssociations();
        CheckRemoval();
        CheckLaunch("Make");
        CheckLaunch("Erase");
        return true;
    }

private:
    const char* script() const { return script_.c_str(); }
    int Line(const std::string& section, const std::string& key) const {
        return ini_.LineOf(section.c_str(), key.empty() ? nullptr : key.c_str());
    }
    // Whether a read of the key gives a non-empty value.
    bool Present(const std::string& section, const std::string& key) const {
        const IniKey* k = ini_.Find(section.c_str(), key.c_str());
        return k && !ReadValue(k->value).empty();
    }
    // The first number from `first` whose key prefix+number reads as absent; each list
    // is walked once.
    int ListEnd(const std::string& section, const char* prefix, int first) {
        std::string id = FoldName(section) + "\n" + prefix;
        auto known = ends_.find(id);
        if (known != ends_.end()) return known->second;
        int n = first;
        while (Present(section, prefix + Num(n))) ++n;
        return ends_[id] = n;
    }
    int FamilyEnd(const char* family, const char* listKey) {
        std::string id = std::string("[") + family;
        auto known = ends_.find(id);
        if (known != ends_.end()) return known->second;
        int n = 0;
        while (Present(family + Num(n), listKey)) ++n;
        return ends_[id] = n;
    }

    void CheckStructure();
    void CheckKey(const IniSection& section, const SectionShape& shape, const IniKey& key);
    void CheckComment(const IniSection& section, const IniKey& key, const std::string& value);
    void CheckRoot();
    void CheckBoxes();
    void CheckCopyList();
    void CheckFolders();
    void CheckBackdrop();
    void CheckPictureLine(const char* section, int number, const char* line, bool readme, bool lastOfList);
    void CheckPictureFile(int line, DrawKeyword keyword, const char* name);
    void CheckReadme();
    void CheckShortcut(const char* section, bool hotkey);
    void CheckShortcuts();
    void CheckDialogIcon();
    void CheckLookedUpIcon(const char* section);
    void CheckLastGo();
    void CheckRegistry();
    void CheckAssociations();
    void CheckMachineAssociation(const char* section, const char* ext, const char* kind, const char* verb,
                                 const char* command);
    void CheckForeignVerb(const char* section, const char* ext, const char* type, const char* verb);
    void CheckProgramName(int line, const char* name, bool hide, bool install);
    void CheckRemoval();
    void CheckLaunch(const char* prefix);
    // A folder token with a name running straight on after it.
    bool CheckTokens(int line, const char* text, bool commandLine) {
        std::string token = TokenRunningOn(text, commandLine);
        if (!token.empty())
            out_.Warn(line, "the folder of %" + token + "% runs straight into the name after it, with no backslash "
                            "between them: write %" + token + "%\\ before the name");
        return token.empty();
    }
    // Whether the install puts a file at path (a copy entry, "Self", the uninstaller).
    bool Installs(const std::string& path) const { return installed_.count(FoldName(path)) != 0; }

    std::string folder_, script_;
    Findings& out_;
    IniFile ini_;
    DialogChoices choices_;
    char base_[kPathSize] = "";
    char product_[kValueSize] = "";
    std::string earlierRecord_;  // "" when the install folder cannot hold one
    std::map<std::string, int> ends_;
    int readmeCount_ = -1;
    std::set<std::string> installed_;  // folded destinations of the copy list
};

void Checker::CheckStructure() {
    for (const IniNote& note : ini_.notes) {
        switch (note.kind) {
        case IniNoteKind::OutsideSection:
            out_.Warn(note.line, "line before the first section header: it is never read");
            break;
        case IniNoteKind::NoEquals:
            out_.Warn(note.line, Quoted(note.text) + " is not a key=value line: it is never read");
            break;
        case IniNoteKind::OpenBracket:
            out_.Warn(note.line, Quoted(note.text) + " has no closing ']': it is no section header, and it is never read");
            break;
        case IniNoteKind::ByteOrderMark:
            out_.Warn(note.line, "the file starts with a UTF-8 byte-order mark: a script is text in the system's "
                                 "code page, and some systems read the mark into the first line");
            break;
        }
    }
    for (const IniSection& s : ini_.sections) {
        if (s.firstOf >= 0) {
            out_.Warn(s.line, "section " + Section(s.name) + " appears again (first at line " +
                                  Num(ini_.sections[s.firstOf].line) + "): only the first is read, so its keys "
                                  "here are never read");
            continue;
        }
        int number = -1;
        const SectionShape* shape = FindSection(s.name, &number);
        if (!shape) {
            std::string nearest = SuggestSection(s.name);
            out_.Warn(s.line, "unknown section " + Section(s.name) + (nearest.empty() ? "" : "; did you mean " + Section(nearest) + "?"));
            continue;
        }
        if (shape->family) {
            int end = FamilyEnd(shape->name, shape->listKey);
            if (number > end)
                out_.Warn(s.line, "section " + Section(s.name) + " comes after the gap at " + Section(shape->name + Num(end)) +
                                      " (no " + Quoted(shape->listKey) + "): the list ends there, and this section is never read");
        }
        for (size_t i = 0; i < s.keys.size(); ++i) {
            const IniKey& k = s.keys[i];
            const size_t first = s.first.at(FoldName(k.name));
            if (first != i)
                out_.Warn(k.line, "key " + Quoted(k.name) + " appears again in " + Section(s.name) + " (first at line " +
                                      Num(s.keys[first].line) + "): only the first is read");
            else
                CheckKey(s, *shape, k);
        }
    }
}

void Checker::CheckKey(const IniSection& s, const SectionShape& shape, const IniKey& k) {
    const KeyShape* key = FindKey(shape, k.name);
    const char* prefix = "";
    int number = -1;
    bool listed = !key && IsListKey(shape, k.name, &prefix, &number);
    if (!key && !listed) {
        int n = DecimalNumber(k.name);
        if (shape.list == ListShape::Numbered && n >= 0 && n < shape.firstNumber) {
            out_.Warn(k.line, Section(s.name) + " is numbered from " + Num(shape.firstNumber) + ": key " + Quoted(k.name) +
                                  " is never read");
            return;
        }
        std::string nearest = SuggestKey(shape, k.name);
        out_.Warn(k.line, "unknown key " + Quoted(k.name) + " in " + Section(s.name) +
                              (nearest.empty() ? "" : "; did you mean " + Quoted(nearest) + "?"));
        return;
    }
    const std::string value = ReadValue(k.value);
    const size_t limit = key ? key->limit : shape.listLimit;
    if (limit > 0 && value.size() > limit)
        out_.Error(k.line, "the value of " + Quoted(k.name) + " is " + Num((long long)value.size()) +
                               " bytes long: the program reads at most " + Num((long long)limit) + " and cuts the rest");
    CheckComment(s, k, value);
    // A pair around a value that still begins and ends with a quote is the doubled form
    // written on purpose (""%root%tool.exe" "%1"").
    if (HasDroppedQuotes(k.value) && !HasDroppedQuotes(value))
        out_.Warn(k.line, "the value of " + Quoted(k.name) + " begins and ends with " +
                              (k.value[0] == '"' ? "a double" : "a single") +
                              " quote: the program drops both and reads " + Quoted(ShortText(value, 80)) +
                              "; to keep them, write one more pair around the whole value: " + k.name + "=" +
                              k.value[0] + k.value + k.value[0]);
    if (!listed || value.empty()) return;
    if (shape.list == ListShape::Numbered || shape.list == ListShape::Prefixed) {
        int first = shape.list == ListShape::Numbered ? shape.firstNumber : 0;
        int end = ListEnd(s.name, prefix, first);
        if (number > end)
            out_.Warn(k.line, "key " + Quoted(k.name) + " comes after the gap at " + Quoted(prefix + Num(end)) +
                                  ": the list ends there, and this key is never read");
    } else if (shape.list == ListShape::ByCount) {
        if (readmeCount_ < 0) readmeCount_ = ReadNumber(s.name.c_str(), "No", 0, script());
        const int count = readmeCount_;
        if (number >= count)
            out_.Warn(k.line, "key " + Quoted(k.name) + " lies beyond " + Section(s.name) + " \"No\" = " + Num(count) +
                                  ": only keys 0 to No - 1 are read");
    }
}

// Semicolons separate the fields of a launch entry, and drawing text is shown as written;
// a command line's semicolons between double quotes are its own. Anywhere else a ';'
// after a blank is a comment written at the end of the line, which the value keeps.
void Checker::CheckComment(const IniSection& s, const IniKey& k, const std::string& value) {
    if (SameName(s.name, "Go2")) return;
    if ((SameName(s.name, "Back") || SameName(s.name, "Readme")) && DecimalNumber(k.name) >= 0 &&
        IsDrawTextLine(value.c_str()))
        return;
    const bool commandLine = SameName(k.name, "Arg") || SameName(k.name, "Command");
    const size_t at = EndOfLineComment(value.c_str(), commandLine);
    if (at == std::string::npos) return;
    out_.Warn(k.line, "the value of " + Quoted(k.name) + " holds \" ;\": profile files have no end-of-line comments, "
                      "so " + Quoted(ShortText(value.substr(at), 40)) + " is part of the value; put the comment on "
                      "a line of its own");
}

void Checker::CheckRoot() {
    if (choices_.record) return;  // the folder of an installed copy is its own
    if (!choices_.folderUsable) {
        char name[kValueSize];
        ReadText("Root", "Name", name, sizeof name, script());
        out_.Error(Line("Root", "Name"), std::string(name[0] ? "[Root] \"Name\" gives the install folder " : "without [Root] \"Name\" the install folder is ") +
                                            Quoted(choices_.installFolder) +
                                            ", which the dialog refuses (a drive root or no complete path)");
    }
}

void Checker::CheckBoxes() {
    static const char* const kKeys[] = {"Menu", "Desktop", "Startup", "Ext", "Send", "Copy", "Del"};
    for (const char* key : kKeys) {
        if (!ini_.Find("Check", key)) continue;
        int mode = ReadNumber("Check", key, 0, script());
        if (mode < 0 || mode > 3)
            out_.Warn(Line("Check", key), "box mode " + Num(mode) + " of " + Quoted(key) +
                                              " means nothing: the modes are 0 (hidden, off), 1 (shown), 2 (shown, "
                                              "checked) and 3 (hidden, on); the box stays as the dialog template shows it");
    }
}

void Checker::CheckCopyList() {
    char source[kPathSize];
    if (!GetCurrentDirectoryA(sizeof source, source)) source[0] = 0;
    SectionIndex list("CopyFile", script());
    for (int k = 0;; ++k) {
        const char* text = list.Get(k);
        if (!text) break;
        const int line = Line("CopyFile", Num(k));
        char value[kValueSize];
        CopyBounded(value, sizeof value, text);
        CopyPrefixes prefixes;
        const char* path = ParseCopyPrefixes(value, &prefixes);
        if (char misplaced = MisplacedCopyPrefix(path)) {
            out_.Error(line, std::string("prefix '") + misplaced + "' comes too late (the order is ! & ? *, each once): it "
                                                                   "is taken as part of the file name " + Quoted(path));
            continue;
        }
        CheckTokens(line, path, false);
        char destination[kPathSize], from[kPathSize];
        bool whole = CopyEntryPaths(path, choices_.installFolder, source, destination, from);
        if (whole && PathExists(from)) installed_.insert(FoldName(destination));
        if (!whole) {
            out_.Error(line, "the destination or the source of " + Quoted(path) +
                                 " is longer than 259 bytes: the copy fails");
            continue;
        }
        if (IsFolder(from)) {
            out_.Error(line, "the source " + Quoted(from) + " is a folder: only files are copied");
        } else if (!PathExists(from)) {
            std::string text = "the source file " + Quoted(from) + " is missing";
            if (prefixes.ignoreFail)
                out_.Warn(line, text + ": with '*' the failed copy goes unreported");
            else
                out_.Error(line, text + ": the install lists it as not copied");
        }
    }
    char self[kValueSize];
    if (ReadText("CopyFile", "Self", self, sizeof self, script())) {
        const int line = Line("CopyFile", "Self");
        char destination[kPathSize];
        int mode = choices_.boxes[kBoxCopy].mode;
        if (!SelfDestination(choices_.installFolder, self, destination)) {
            out_.Error(line, "\"Self\" " + Quoted(self) + " names no file, or its destination does not fit 259 bytes");
        } else if (PathExists(self) && !IsFolder(self)) {
            installed_.insert(FoldName(destination));
        } else {
            std::string text = "the \"Self\" file " + Quoted(self) + " is missing";
            if (mode == 0)
                out_.Warn(line, text + " (the Copy box is hidden and off, so it is not copied)");
            else
                out_.Error(line, text + ": with the Copy box checked it is not copied");
        }
    }
}

void Checker::CheckFolders() {
    SectionIndex list("MakeDirectory", script());
    for (int k = 1;; ++k) {
        const char* value = list.Get(k);
        if (!value) break;
        char folder[kPathSize];
        if (!ExtraFolderPath(choices_.installFolder, value, folder))
            out_.Error(Line("MakeDirectory", Num(k)), "the folder " + Quoted(value) +
                                                          " is refused: it leaves the install folder or does not fit 259 bytes");
    }
}

void Checker::CheckPictureFile(int line, DrawKeyword keyword, const char* name) {
    if (keyword == DrawKeyword::Meta) {
        if (!LoadDrawingMetaFile(name, base_))
            out_.Error(line, "the metafile " + Quoted(name) + " is missing or no enhanced metafile: nothing is drawn");
        return;
    }
    UniqueFile file = OpenDrawingFile(name, base_);
    if (!file) {
        out_.Error(line, std::string(keyword == DrawKeyword::Bitmap ? "the image " : "the text file ") + Quoted(name) +
                             " is missing: nothing is drawn");
        return;
    }
    DWORD high = 0, low = GetFileSize(file.get(), &high);
    uint64_t size = low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR ? 0 : ((uint64_t)high << 32) | low;
    if (keyword == DrawKeyword::Text) {
        if (size > kMaxTextFileBytes) out_.Warn(line, "the text file " + Quoted(name) + " is over 16 MiB: it is not drawn");
        return;
    }
    uint8_t head[kBmpHeadersSize] = {};
    DWORD got = 0;
    if (!ReadFile(file.get(), head, sizeof head, &got, nullptr)) got = 0;
    std::string why = BmpRejection(head, got, size);
    if (!why.empty()) out_.Error(line, "the image " + Quoted(name) + " is not drawn: " + why);
}

// One drawing line of [Back] or of the read-me's picture pages.
void Checker::CheckPictureLine(const char* section, int number, const char* text, bool readme, bool lastOfList) {
    const int line = Line(section, Num(number));
    if (readme) {
        ButtonLine button;
        if (IsPageLine(text, nullptr) || ParseButtonLine(text, &button)) return;
    }
    char work[kCommandSize];
    CopyBounded(work, sizeof work, text);
    DrawCommand command;
    if (!SplitDrawCommand(work, &command)) {
        const char* comma = strchr(text, ',');
        if (!comma) {
            out_.Warn(line, Quoted(text) + " has no comma: the drawing skips it (even a command without "
                                           "parameters needs one)");
            return;
        }
        std::string keyword(text, comma);
        std::string nearest = SuggestDrawKeyword(keyword, readme);
        out_.Warn(line, "unknown drawing command " + Quoted(keyword) + ": the line is skipped" +
                            (nearest.empty() ? "" : "; did you mean " + Quoted(nearest) + "?"));
        return;
    }
    switch (command.keyword) {
    case DrawKeyword::Mode:
        if (ParseDrawMode(command.params) == DrawMode::WholeArea) {
            std::string nearest = SuggestModeWord(command.params);
            if (!nearest.empty())
                out_.Warn(line, "mode word " + Quoted(command.params) + " selects the whole-area mode; did you mean " +
                                    Quoted(nearest) + "?");
        }
        break;
    case DrawKeyword::Page:
        if (!readme && !lastOfList) out_.Warn(line, "a page line ends the backdrop picture: the commands after it are never drawn");
        break;
    case DrawKeyword::Bitmap:
    case DrawKeyword::Text:
    case DrawKeyword::Meta:
        CheckTokens(line, command.params, false);
        CheckPictureFile(line, command.keyword, command.params);
        break;
    default: break;
    }
}

void Checker::CheckBackdrop() {
    std::vector<std::string> lines;
    ForEachNumberedKey(script(), "Back", 0, [&](int, const char* value) {
        lines.push_back(value);
        return true;
    });
    if (!lines.empty() && ReadNumber("Back", "Do", 0, script()) == 0)
        out_.Warn(Line("Back", "Do"), "[Back] holds drawing commands, but \"Do\" is 0: no backdrop is shown");
    for (size_t i = 0; i < lines.size(); ++i)
        CheckPictureLine("Back", (int)i, lines[i].c_str(), false, i + 1 == lines.size());
}

void Checker::CheckReadme() {
    const int done = ReadNumber("Readme", "Done", 0, script());
    const bool agreement = ReadNumber("Go", "Agree", 0, script()) != 0;
    if (agreement && done != 2)
        out_.Warn(Line("Go", "Agree"), "an agreement opens only by itself, with [Readme] \"Done\" = 2; otherwise the "
                                       "ReadMe button is hidden and setup goes on without it");
    if (done == 0 && !agreement) return;  // the read-me is never shown: its lines are nobody's mistake yet
    char file[kValueSize];
    if (!ReadText("Readme", "File", file, sizeof file, script())) {
        if (agreement)
            out_.Error(Line("Go", "Agree"), "an agreement without [Readme] \"File\": the dialog has no \"I agree\" "
                                            "button, so setup can never go on");
        else if (done != 0)
            out_.Error(Line("Readme", "Done"), "[Readme] \"Done\" offers the read-me, but \"File\" is missing: the "
                                               "read-me box is empty");
        return;
    }
    if (!EqualsAsciiNoCase(file, "ReadMe.Special")) {
        if (!ReadReadmeText(file, base_))
            out_.Error(Line("Readme", "File"), "the read-me file " + Quoted(file) + " is missing: the read-me box is empty");
        return;
    }
    ReadmePageList list;
    list.Read(script());
    if (list.count() == 0) {
        out_.Warn(Line("Readme", ini_.Find("Readme", "No") ? "No" : "File"),
                  "picture pages without lines (\"No\" is 0 or no line is present): the read-me is a black page");
        return;
    }
    const char* const* lines = list.lines();
    std::vector<int32_t> pages;
    for (int i = 0; i < list.count(); ++i) {
        int32_t id = 0;
        if (IsPageLine(lines[i], &id)) pages.push_back(id);
    }
    for (int i = 0; i < list.count(); ++i) {
        if (!lines[i][0]) continue;
        CheckPictureLine("Readme", i, lines[i], true, false);
        ButtonLine button;
        if (!ParseButtonLine(lines[i], &button) || button.target == kPageNone || button.target < kPageNone) continue;
        bool known = false;
        for (int32_t id : pages) known |= id == button.target;
        if (!known)
            out_.Warn(Line("Readme", Num(i)), "button" + Num(button.button + 1) + " leads to page " + Num(button.target) +
                                                  ", which no page line carries: it shows the lines from 1 on");
    }

}

void Checker::CheckShortcut(const char* section, bool hotkey) {
    char name[kValueSize];
    ReadText(section, "Name", name, sizeof name, script());
    const int line = Line(section, "Name");
    if (!IsUsableLinkName(name)) {
        out_.Error(line, "the shortcut name " + Quoted(name) + " is not usable (an empty part, \"..\", ':' or '/'): "
                                                               "the shortcut is skipped");
        return;
    }
    for (const char* key : {"Path", "Icon"}) {
        char value[kLongValueSize];
        if (ReadText(section, key, value, sizeof value, script())) CheckTokens(Line(section, key), value, false);
    }
    CheckLookedUpIcon(section);
    ShortcutFields fields;
    if (!ReadShortcutFields(section, script(), choices_.installFolder, hotkey, &fields))
        out_.Error(line, "a value of " + Section(section) + " does not fit once expanded (259 bytes for a path, 1,038 "
                                                            "for \"Arg\"): the shortcut is not made");
    else if (!ini_.Find(section, "Path"))
        out_.Warn(line, Section(section) + " has no \"Path\": the shortcut has no target");
}

void Checker::CheckShortcuts() {
    ForEachNumberedSection(script(), "Menu%d", "Name", [&](int, const char* section, const char*) {
        CheckShortcut(section, false);
        return true;
    });
    ForEachNumberedSection(script(), "Send%d", "Name", [&](int, const char* section, const char*) {
        CheckShortcut(section, false);
        return true;
    });
    for (const char* word : {"Desktop", "Startup"}) {
        char name[kValueSize];
        if (ReadText(word, "Name", name, sizeof name, script())) CheckShortcut(word, true);
    }
    CheckDialogIcon();
}

// An icon without a folder token is looked up as a program, as "Path" is: a document
// (an .ico file) gives the program registered to open it, or nothing, never the file.
void Checker::CheckLookedUpIcon(const char* section) {
    char icon[kValueSize];
    if (!ReadText(section, "Icon", icon, sizeof icon, script()) || icon[0] == '!' || icon[0] == '%') return;
    const char* dot = FindLastChar(LastComponent(icon), '.');
    for (const char* program : {".exe", ".com"})
        if (dot && lstrcmpiA(dot, program) == 0) return;
    const bool desktop = lstrcmpiA(section, "Desktop") == 0;
    out_.Warn(Line(section, "Icon"),
              "\"Icon\" " + Quoted(icon) + " has no folder token, so it is looked up as a program, as \"Path\" is: it "
              "gives the program that opens such files (or no icon), not the file itself; " +
                  (desktop ? std::string("the setup dialog, though, reads it as written: name a program that holds the "
                                         "icon, shipped beside Setup.exe and installed by a copy entry (Icon=tool.exe, "
                                         "with IconNo), or write Icon=%root%") + icon + " and let the dialog show its own"
                           : "write Icon=%root%" + std::string(icon)));
}

// [Desktop] "Icon" is read three ways: the setup dialog takes it as written, from the
// folder Setup.exe starts in; the shortcut and the registration expand it. Only a
// plain name shipped beside Setup.exe and installed by a copy entry serves all three.
void Checker::CheckDialogIcon() {
    char icon[kValueSize];
    if (!ReadText("Desktop", "Icon", icon, sizeof icon, script())) return;
    if (PathExists(icon) && !IsFolder(icon)) return;
    const bool token = icon[0] == '%' || icon[0] == '!';
    const char* rest = icon + (icon[0] == '!');
    if (icon[0] == '%' && FindFirstChar(icon + 1, '%')) rest = FindFirstChar(icon + 1, '%') + 1;
    const char* name = LastComponent(rest);
    out_.Warn(Line("Desktop", "Icon"),
              "the setup dialog takes [Desktop] \"Icon\" as written, without folder tokens, from the folder Setup.exe "
              "starts in: " + Quoted(icon) + " is not there, so the dialog shows the program's own icon" +
                  (token ? " (the shortcut and the list of installed programs expand the token, the dialog does not)"
                         : "") +
                  "; ship " + Quoted(name) + " beside Setup.exe, install it with a copy entry, and write Icon=" + name);
}

void Checker::CheckLastGo() {
    std::vector<std::string> menu;
    ForEachNumberedSection(script(), "Menu%d", "Name", [&](int, const char*, const char* name) {
        menu.push_back(name);
        return true;
    });
    char menuName[kValueSize];
    const bool menuFolder = ReadText("Menu", "Name", menuName, sizeof menuName, script()) || choices_.menuNamedSet;
    bool any = false;
    ForEachNumberedKey(script(), "LastGo", 0, [&](int k, const char* value) {
        any = true;
        bool found = false;
        for (const std::string& m : menu) found |= lstrcmpiA(m.c_str(), value) == 0;
        if (!found)
            out_.Warn(Line("LastGo", Num(k)), Quoted(value) + " names no Start-menu entry ([MenuN] \"Name\"): the "
                                                              "final launch opens nothing");
        return true;
    });
    for (const char* word : {"Startup", "Desktop"}) {
        std::string key = std::string(word) + "AndGo";
        if (ReadNumber("LastGo", key.c_str(), 0, script()) == 0) continue;
        any = true;
        char name[kValueSize];
        if (!ReadText(word, "Name", name, sizeof name, script()))
            out_.Warn(Line("LastGo", key), Quoted(key) + " is set, but " + Section(word) +
                                               " has no \"Name\": no such shortcut is made, so none is opened");
    }
    if (any && !menuFolder)
        out_.Warn(Line("LastGo", ""), "[LastGo] needs a Start-menu folder: without [Menu] \"Name\" the final launch "
                                      "opens nothing at all");
}

void Checker::CheckRegistry() {
    std::set<std::string> madeValues;  // as the record names them, letters folded
    auto folded = [](const char* fact) {
        std::string text = fact;
        for (char& c : text) c = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
        return text;
    };
    ForEachPrefixedKey(script(), "Reg", "Make", kLongValueSize, [&](int k, char* entry) {
        const int line = Line("Reg", "Make" + Num(k));
        const bool valueText = strstr(entry, "\\\\") != nullptr;
        MakeEntryParts parts;
        if (!SplitMakeEntry(entry, &parts)) {
            out_.Warn(line, "the entry has no backslash after its root: it does nothing");
            return true;
        }
        std::string nearest = SuggestRootName(parts.root);
        if (RootKindFromName(parts.root) == RootKind::LocalMachine && !nearest.empty())
            out_.Warn(line, "root " + Quoted(parts.root) + " is not a root name: it stands for HKEY_LOCAL_MACHINE; did "
                                                         "you mean " + Quoted(nearest) + "?");
        if (!parts.valueName && valueText) {
            out_.Warn(line, "the value name is not followed by a backslash and data: only the keys are made");
        } else if (parts.valueName) {
            CheckTokens(line, parts.data, false);
            char data[kPathSize];
            if (!RegistryDataText(parts.data, choices_.installFolder, data))
                out_.Error(line, "the data " + Quoted(parts.data) + " expands to more than 259 bytes: nothing is written");
            char fact[kLongValueSize + 32];
            if (RegistryFactText(RootKindFromName(parts.root), parts.keyPath, parts.valueName, fact, sizeof fact))
                madeValues.insert(folded(fact));
        }
        return true;
    });
    ForEachPrefixedKey(script(), "Reg", "Erase", kLongValueSize, [&](int k, char* entry) {
        const int line = Line("Reg", "Erase" + Num(k));
        char* path = SplitAtFirstBackslash(entry);
        if (!path) {
            out_.Warn(line, "the entry has no backslash after its root: it does nothing");
            return true;
        }
        std::string nearest = SuggestRootName(entry);
        if (RootKindFromName(entry) == RootKind::LocalMachine && !nearest.empty())
            out_.Warn(line, "root " + Quoted(entry) + " is not a root name: it stands for HKEY_LOCAL_MACHINE; did you "
                                                    "mean " + Quoted(nearest) + "?");
        KeyProtection protection = ProtectionOf(RootKindFromName(entry), path);
        // In the system's areas the uninstall still takes a value the script's make entries write.
        if (protection == KeyProtection::System) {
            std::string keyPath = path;
            const char* bs = FindLastBackslash(keyPath.c_str());
            char fact[kLongValueSize + 32];
            if (bs) {
                const size_t at = (size_t)(bs - keyPath.c_str());
                const std::string name = keyPath.substr(at + 1);
                keyPath.resize(at);
                if (RegistryFactText(RootKindFromName(entry), keyPath.c_str(), name.c_str(), fact, sizeof fact) &&
                    madeValues.count(folded(fact)))
                    protection = KeyProtection::None;
            }
        }
        if (protection != KeyProtection::None)
            out_.Error(line, "the uninstall refuses to erase " + Quoted(path) +
                                 (protection == KeyProtection::System ? ": the system relies on that key"
                                                                      : ": a root, a key right below a root, or an empty component"));
        return true;
    });
    char company[kValueSize], product[kValueSize];
    ReadText("Registry", "Company", company, sizeof company, script());
    ReadText("Registry", "Name", product, sizeof product, script());
    if (company[0] && !MayRemoveSettingsKeys(company, product))
        out_.Error(Line("Registry", "Company"), "the uninstall refuses the settings keys SOFTWARE\\" + std::string(company) +
                                                    (product[0] ? "\\" + std::string(product) : "") +
                                                    ": they must be single key names, and not the system's own");
    else if (!company[0] && product[0])
        out_.Warn(Line("Registry", "Name"), "[Registry] \"Name\" without \"Company\": no settings key is removed");
}

void Checker::CheckAssociations() {
    ForEachNumberedSection(script(), "Ext%d", "Ext", [&](int, const char* section, const char* ext) {
        char kind[kValueSize], verb[256], command[kValueSize], icon[kPathSize], iconNo[kValueSize];
        ReadText(section, "Kind", kind, sizeof kind, script());
        ReadText(section, "Verb", verb, sizeof verb, script());
        ReadText(section, "Command", command, sizeof command, script());
        ReadText(section, "Icon", icon, sizeof icon, script());
        ReadText(section, "IconNo", iconNo, sizeof iconNo, script());
        const int line = Line(section, "Ext");
        if (!IsAcceptedAssociation(ext, kind)) {
            bool extBad = !IsSingleKeyName(ext) || IsSystemFileType(ext) || IsRefusedExtension(ext);
            if (IsRefusedExtension(ext)) {
                out_.Error(line, "the association step refuses the extension " + Quoted(ext) + ": it is the "
                                 "extension of programs, scripts or links, and taking it would change how every such "
                                 "file starts; give the product an extension of its own");
                return true;
            }
            out_.Error(extBad || !ini_.Find(section, "Kind") ? line : Line(section, "Kind"),
                       std::string("the association step refuses ") +
                           (extBad ? "the extension " + Quoted(ext) : "the file type " + Quoted(kind)) +
                           ": " + (extBad ? "it must be one key name, not a system type and not the extension of "
                                            "programs or scripts"
                                          : "it must be one key name, not empty, not an extension and not a system type "
                                            "such as txtfile or Folder"));
            return true;
        }
        if (ext[0] != '.') out_.Warn(line, "the extension " + Quoted(ext) + " has no leading dot");
        if (icon[0]) CheckTokens(Line(section, "Icon"), icon, false);
        if (command[0]) {
            char text[kValueSize];
            CopyBounded(text, sizeof text, command);
            CommandParts parts;
            SplitAssociationCommand(text, &parts);
            CheckTokens(Line(section, "Command"), parts.program, false);
        }
        char out[kExpandedSize];
        if (icon[0] && !AssociationIconValue(icon, iconNo, choices_.installFolder, out))
            out_.Error(Line(section, "Icon"), "the icon does not fit 259 bytes once expanded: no icon is written");
        // Verb2 writes the command into the type an extension stays with.
        if (command[0] && !verb[0] && !ini_.Find(section, "Verb2"))
            out_.Warn(Line(section, "Command"), "\"Command\" without \"Verb\" is never written");
        if (command[0] && verb[0] && !AssociationCommandLine(command, choices_.installFolder, out))
            out_.Error(Line(section, "Command"), "the command does not fit once its program is expanded: no verb is written");
        CheckMachineAssociation(section, ext, kind, verb, command);
        return true;
    });
}

// What this machine's file types make of the entry: another program's type and verbs
// are never written into, system types take no verbs, Force never takes an extension
// from a system type; and an unquoted program that holds a blank once expanded.
void Checker::CheckMachineAssociation(const char* section, const char* ext, const char* kind, const char* verb,
                                      const char* command) {
    char verb2[256];
    const bool hasVerb2 = ReadText(section, "Verb2", verb2, sizeof verb2, script()) != 0;
    if (command[0] && (verb[0] || hasVerb2)) {
        char text[kValueSize], program[kPathSize];
        CopyBounded(text, sizeof text, command);
        CommandParts parts;
        SplitAssociationCommand(text, &parts);
        if (!parts.quoted && ExpandPath(parts.program, choices_.installFolder, program, true) &&
            (strchr(program, ' ') || strchr(program, '\t')))
            out_.Warn(Line(section, "Command"),
                      "the program " + Quoted(program) + " holds a blank and is not in double quotes: the install "
                      "quotes it, but write the quotes yourself, with one more pair around the whole value for the "
                      "profile reader to drop: Command=" + QuotedCommandValue(parts.program, parts.arguments));
    }
    const bool force = ReadNumber(section, "Force", 0, script()) != 0;
    char current[kValueSize];
    const ExtensionOwner owner = FindExtensionOwner(ext, kind, current);
    const bool foreign = owner == ExtensionOwner::Other;
    const bool forceTakes = force && foreign && !IsSystemFileType(current);
    if (force && foreign && !forceTakes)
        out_.Warn(Line(section, "Force"), "\"Force\" does not take " + Quoted(ext) + " from " + Quoted(current) +
                                              ", one of the system's file types: the entry is treated as without it");
    if (foreign && !forceTakes) {
        CheckForeignVerb(section, ext, current, verb);
        return;
    }
    const RegPath type{RootKind::ClassesRoot, kind};
    if (!KeyExists(type) || EarlierMadeAssociationKey(earlierRecord_.c_str(), "TypeKey", kind, nullptr)) return;
    std::string own = OwnTypeName(product_, ext);
    out_.Warn(Line(section, "Kind"), "the file type " + Quoted(kind) + " already exists on this machine (another "
                                     "program's): the install writes no description, icon or verb into it, and the "
                                     "uninstall leaves it; give the product a type of its own" +
                                         (own.empty() ? "" : ", such as " + Quoted(own)));
}

// An extension that stays with another type: only Verb2 is added to that type, never to a
// system type and never over a verb it has.
void Checker::CheckForeignVerb(const char* section, const char* ext, const char* type, const char* verb) {
    const RegPath shell = RegPath{RootKind::ClassesRoot, type}.Child("shell");
    const bool system = IsRefusedFileType(type) || !IsSingleKeyName(type);
    const std::string owner = Quoted(ext) + " belongs to " + Quoted(type);
    const std::string ownVerb = product_[0] ? Quoted(std::string("Open with ") + product_) : "\"Open with <product>\"";
    char verb2[256];
    if (ReadText(section, "Verb2", verb2, sizeof verb2, script())) {
        const int line = Line(section, "Verb2");
        if (system) {
            out_.Warn(line, owner + (IsSystemFileType(type) ? ", one of the system's file types" : "") +
                                ": no verb is added to it, so nothing is written for this entry; give the product an "
                                "extension of its own");
            return;
        }
        const RegPath key = shell.Child(verb2);
        char command[kValueSize];
        ReadText(section, "Command", command, sizeof command, script());
        char written[kExpandedSize];
        if (!AssociationCommandLine(command, choices_.installFolder, written)) written[0] = 0;
        if (IsSingleKeyName(verb2) && KeyExists(key) &&
            !EarlierMadeAssociationKey(earlierRecord_.c_str(), "VerbKey", key.path, written))
            out_.Warn(line, owner + ", which has a verb " + Quoted(verb2) + " already: it is not overwritten (and the "
                                    "uninstall leaves it), so nothing is written for this entry; name a verb of the "
                                    "product's own, such as " + ownVerb);
        return;
    }
    if (!IsSingleKeyName(verb) || !KeyExists(shell.Child(verb))) return;
    out_.Warn(Line(section, "Verb"), owner + ", which has its own verb " + Quoted(verb) + ": without \"Force\" that "
                                     "verb stays the other program's and nothing is written for this entry; " +
                                         (system ? std::string("a system type takes no other program's verbs: give the "
                                                               "product an extension of its own")
                                                 : "to add a verb to " + Quoted(type) + ", name one of the product's "
                                                   "own in \"Verb2\", such as " + ownVerb));
}

void Checker::CheckLaunch(const char* prefix) {
    const bool install = strcmp(prefix, "Make") == 0;
    for (const char* own : {"Setup.exe", "Setup.ini"}) {
        char path[kPathSize];
        CopyBounded(path, sizeof path, choices_.installFolder);
        if (JoinPath(path, own)) installed_.insert(FoldName(path));
    }
    LaunchFields fields;
    ForEachPrefixedKey(script(), "Go2", prefix, kLaunchValueSize + 1, [&](int k, char* value) {
        const int line = Line("Go2", prefix + Num(k));
        // A name run into its folder is told once, not again as a missing file.
        bool separated;
        {
            std::string target = value;
            const char* semicolon = FindFirstChar(value, ';');
            if (semicolon) target.resize((size_t)(semicolon - value));
            separated = CheckTokens(line, target.c_str(), true);
        }
        ReadLaunchEntry(value, script(), choices_.installFolder, &fields);
        if (fields.targetCut) {
            out_.Error(line, "the target does not fit 1,039 bytes once its folders are put in: it is never started or loaded");
            return true;
        }
        const bool library = fields.entry[0] || fields.entryCut;
        const bool check = library && IsPresenceCheck(fields.entry);
        if (fields.entryCut) out_.Error(line, "the function name is longer than 259 bytes: it is never looked up");
        if (fields.optionCut) out_.Warn(line, "the option is longer than 259 bytes: it counts as none");
        const char* option = OptionKeyword(fields);
        if (!check && option[0] && LaunchShowCommand(option) == kLaunchShown)
            out_.Warn(line, "option " + Quoted(option) + " is none of hide, min and max: the program is shown normally"
                            " and its failures are reported");
        // A file the install puts in place is there when the entry runs (after the
        // install, or before the uninstall).
        auto there = [&](const std::string& path) { return PathExists(path.c_str()) || Installs(path); };
        if (library) {
            char path[kLaunchValueSize];
            if (!LaunchLibraryPath(fields.target, path, sizeof path)) {
                out_.Error(line, "the library " + Quoted(fields.target) + " is neither a bare name (taken from the "
                                 "system folder) nor a complete path: it is never loaded");
            } else if (!check && separated && !there(path)) {
                out_.Warn(line, "the library " + Quoted(path) + " is not there, and no copy entry installs it: " +
                                    (IsHideOption(option) ? "the call is skipped" : "\"Could not load library.\""));
            }
            return true;
        }
        char program[kLaunchValueSize + 1], parameters[kLaunchValueSize];
        if (!SplitProgram(fields.target, program, sizeof program, parameters, sizeof parameters) || !program[0]) {
            out_.Error(line, "no program to start: \"Could not execute.\"");
            return true;
        }
        std::string complete = program;
        if (complete.size() >= 2 && complete.front() == '"' && complete.back() == '"')
            complete = complete.substr(1, complete.size() - 2);
        char name[kLaunchValueSize + 1];
        if (separated && LaunchProgramName(program, name, sizeof name) && ClassifyProgramName(name) != ProgramName::AsWritten) {
            CheckProgramName(line, name, IsHideOption(option), install);
        } else if (separated && IsAbsolutePath(complete.c_str()) && !there(complete)) {
            if (fields.target[0] != '"' && parameters[0] && there(fields.target))
                out_.Warn(line, "the program is not in double quotes, so it ends at its first blank: " + Quoted(complete) +
                                    " is started instead of " + Quoted(fields.target));
            else
                out_.Warn(line, "the program " + Quoted(complete) + " is not there, and no copy entry installs it" +
                                    (install ? "" : " (the uninstall runs this entry before it removes anything)"));
        }
        return true;
    });
}

// Where a program that is no complete path is looked for: a bare name in the system and
// Windows folders only, a relative one below the install folder, never beside Setup.exe.
void Checker::CheckProgramName(int line, const char* name, bool hide, bool install) {
    auto there = [&](const char* path) { return PathExists(path) || Installs(path); };
    const std::string own = std::string("%root%\\") + LastComponent(name);
    const std::string shown = hide ? "" : " (\"Could not execute.\")";
    const std::string beside = JoinText(folder_, name);
    char path[kLaunchValueSize + 1];
    switch (ClassifyProgramName(name)) {
    case ProgramName::Bare: {
        char system[kPathSize], windows[kPathSize];
        LaunchSearchFolders(system, windows);
        const std::string where = std::string("the system folder (") + system + ") and the Windows folder (" + windows + ")";
        if (!FindBareProgram(name, system, windows, path, sizeof path, there)) {
            out_.Warn(line, "the bare name " + Quoted(name) + " is looked for only in " + where + ", and it is not "
                            "there: it is never started" + shown + "; write " + own + " for the product's own program "
                            "or a document");
            return;
        }
        const std::string product = JoinText(choices_.installFolder, name);
        if ((!product.empty() && Installs(product)) || (!beside.empty() && PathExists(beside.c_str())))
            out_.Warn(line, "the bare name " + Quoted(name) + " is looked for only in " + where + ": " + Quoted(path) +
                            " is started, not the product's own; write " + own);
        return;
    }
    case ProgramName::InFolder: {
        const std::string below = JoinText(choices_.installFolder, name);
        if (below.empty() || there(below.c_str())) return;
        out_.Warn(line, "the relative name " + Quoted(name) + " is taken below the install folder: " + Quoted(below) +
                        " is not there, and no copy entry installs it" +
                        (!beside.empty() && PathExists(beside.c_str()) ? " (the file beside Setup.exe is never started)" : "") +
                        (install ? "" : " (the uninstall runs this entry before it removes anything)") +
                        "; install it there with a copy entry, or name a complete path");
        return;
    }
    case ProgramName::Refused: {
        // The name without what leads through the current folder, as the product's own.
        std::string rest = name;
        if (StartsWithAsciiNoCase(name, "file:")) rest.erase(0, 5);
        else if (rest.size() >= 2 && rest[1] == ':') rest.erase(0, 2);
        size_t cut = rest.find_last_of(":/");
        if (cut != std::string::npos) rest.erase(0, cut + 1);
        while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
        const std::string complete = "%root%\\" + (rest.empty() ? std::string("tool.exe") : rest);
        out_.Error(line, "the program " + Quoted(name) + " is refused: a path from the root of the current drive, a "
                         "drive without its backslash or a file: URL is looked for through the current folder, so it "
                         "is never started" + shown + "; name a complete path, such as " + complete);
        return;
    }
    case ProgramName::AsWritten: return;
    }
}

void Checker::CheckRemoval() {
    RemovalGuards guards(script(), nullptr);
    SectionIndex patterns("Del", script());
    for (int k = 0;; ++k) {
        const char* pattern = patterns.Get(k);
        if (!pattern) break;
        char expanded[kPathSize];
        const int line = Line("Del", Num(k));
        CheckTokens(line, pattern, false);
        if (!ExpandPath(pattern, choices_.installFolder, expanded, false)) {
            out_.Error(line, "the pattern " + Quoted(pattern) + " expands to more than 259 bytes: the uninstall skips it");
            continue;
        }
        char folder[kPathSize];
        FolderPart(expanded, folder, sizeof folder);
        if (!guards.MayApplyPattern(folder, expanded + strlen(folder)))
            out_.Warn(line, "the uninstall refuses the wildcard pattern " + Quoted(expanded) +
                                ": no pattern sweeps the Windows folder or a system or user folder");
    }
    SectionIndex folders("DirRemove", script());
    for (int k = 1; folders.Get(k); ++k) CheckTokens(Line("DirRemove", Num(k)), folders.Get(k), false);
}

}  // namespace

bool CheckScript(const std::string& folder, Findings& findings) {
    Checker checker(folder, findings);
    return checker.Run();
}
