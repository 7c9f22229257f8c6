#include "shell/shell_link.h"
#include <string.h>
#include "base/text.h"
#include "run/machine.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shortcut_text.h"

namespace {

// Reads a value that may be longer than a path, so that an overlong one is seen
// whole by the bounded copies after it instead of arriving already cut.
DWORD ReadLong(const char* section, const char* key, char* out, const char* script) {
    return ReadText(section, key, out, kLongValueSize, script);
}

}  // namespace

bool ReadShortcutFields(const char* section, const char* script, const char* installFolder, bool hotkeyAllowed,
                        ShortcutFields* f) {
    *f = ShortcutFields();
    char value[kLongValueSize];
    f->show = ShowCommandFromValue(ReadNumber(section, "Show", 0, script));
    if (ReadLong(section, "Arg", f->arguments, script) >= kLongValueSize - 1) return false;
    if (hotkeyAllowed) {
        ReadLong(section, "Short", value, script);
        f->hasHotkey = HotkeyFromText(value, &f->hotkey);
    }
    ReadLong(section, "Path", value, script);
    if (!ExpandProgramPath(value, installFolder, f->target)) return false;
    // Without "Icon" the link shows its target's own icon: expanding the empty value
    // would name the install folder as the icon file.
    if (ReadLong(section, "Icon", value, script)) {
        if (!ExpandProgramPath(value, installFolder, f->icon)) return false;
        f->hasIcon = true;
        f->iconIndex = ReadNumber(section, "IconNo", 0, script);
    }
    ReadLong(section, "Work", value, script);
    if (!value[0]) return CopyBounded(f->workFolder, kPathSize, installFolder);
    if (value[0] == '!') return CopyBounded(f->workFolder, kPathSize, value + 1);
    CopyBounded(f->workFolder, kPathSize, installFolder);
    return JoinPath(f->workFolder, value);
}

bool ReadLinkEntry(const char* section, const char* linkPath, const char* scriptPath, bool hotkeyAllowed,
                   ShortcutFields* f) {
    if (strlen(linkPath) >= kPathSize) return false;
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, scriptPath);
    return ReadShortcutFields(section, scriptPath, installFolder, hotkeyAllowed, f);
}

bool SaveShortcut(const char* linkPath, const ShortcutFields& f) {
    LinkValues values{f.show, f.arguments, f.hasHotkey, f.hotkey, f.target, f.hasIcon, f.icon, f.iconIndex, f.workFolder};
    return M().SaveLink(linkPath, values);
}

bool WriteShortcut(const char* section, const char* linkPath, const char* scriptPath, bool hotkeyAllowed) {
    ShortcutFields f;
    return ReadLinkEntry(section, linkPath, scriptPath, hotkeyAllowed, &f) && SaveShortcut(linkPath, f);
}

void DescribeShortcut(const ShortcutFields& f, char* detail, size_t cap) {
    FormatBounded(detail, cap, "-> %s%s%s  (in %s)", f.target, f.arguments[0] ? " " : "", f.arguments, f.workFolder);
    if (f.hasIcon && f.icon[0]) {
        char icon[kPathSize + 32];
        FormatBounded(icon, sizeof icon, "  (icon %s,%d)", f.icon, f.iconIndex);
        AppendBounded(detail, cap, icon);
    }
}

DWORD DeleteLinkFile(const char* linkPath) {
    M().SetAttributes(linkPath, FILE_ATTRIBUTE_NORMAL);
    return M().Delete(linkPath) ? 0 : GetLastError();
}

void RecordOptionMade(const char* key, const char* scriptPath) {
    int state = ReadNumber("Check", key, 3, scriptPath);
    if (state == 0 || state == 1) WriteText("Check", key, "2", scriptPath);
}

void RecordOptionRemoved(const char* key, const char* scriptPath) {
    if (ReadNumber("Check", key, 0, scriptPath) != 0) WriteText("Check", key, "1", scriptPath);
}
