// Shortcuts in the user's Send To, desktop and startup folders.
#include "shell/shortcuts.h"
#include "base/text.h"
#include "script/paths.h"
#include "script/script.h"
#include "shell/shell_link.h"
#include "shell/shortcut_text.h"

void SetSendToShortcuts(HWND, const char* scriptPath, bool make) {
    char sendTo[kPathSize];
    if (!ReadShellFolder("SendTo", sendTo)) return;
    if (!make) {
        ForEachNumberedSection(scriptPath, "Send%d", "Name", [&](int, const char*, const char* name) {
            char linkPath[kPathSize];
            if (!BuildLinkPath(linkPath, sizeof linkPath, sendTo, name)) return true;
            DeleteLinkFile(linkPath);
            RemoveLinkFolders(sendTo, name);
            return true;
        });
        RecordOptionRemoved("Send", scriptPath);
        return;
    }
    if (!CreateDirectoryA(sendTo, nullptr) && !PathExists(sendTo)) return;
    RecordOptionMade("Send", scriptPath);
    ForEachNumberedSection(scriptPath, "Send%d", "Name", [&](int, const char* section, const char* name) {
        char linkPath[kPathSize];
        if (!BuildLinkPath(linkPath, sizeof linkPath, sendTo, name)) return true;
        MakeLinkFolders(sendTo, name);
        WriteShortcut(section, linkPath, scriptPath, false);
        return true;
    });
}

void SetFolderShortcut(HWND, const char* scriptPath, bool make, const char* word) {
    char folder[kPathSize];
    if (!ReadShellFolder(word, folder)) return;
    char name[kValueSize];
    if (!ReadText(word, "Name", name, sizeof name, scriptPath)) return;
    char linkPath[kPathSize];
    if (!BuildLinkPath(linkPath, sizeof linkPath, folder, name)) return;
    if (!make) {
        WriteText("LastGo", word, "", scriptPath);
        RecordOptionRemoved(word, scriptPath);
        DeleteLinkFile(linkPath);
        return;
    }
    if (!WriteShortcut(word, linkPath, scriptPath, true)) return;
    WriteText("LastGo", word, linkPath, scriptPath);
    RecordOptionMade(word, scriptPath);
}
