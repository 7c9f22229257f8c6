#include "install/uninstaller.h"
#include "app/handover.h"
#include "app/run_state.h"
#include "install/record.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"
#include "base/handles.h"
#include "base/text.h"
#include <string.h>

void MergeRecordList(const char* olderRecord, const char* currentRecord, const char* section) {
    int older = ReadCount(section, olderRecord);
    if (older <= 0) return;
    SectionIndex olderList(section, olderRecord);
    if (older > olderList.Size()) older = olderList.Size();  // a hostile Count walks nothing more
    PathSet present;
    {
        int current = ReadCount(section, currentRecord);
        SectionIndex currentList(section, currentRecord);
        if (current > currentList.Size()) current = currentList.Size();
        for (int i = 0; i < current; ++i)
            if (const char* value = currentList.Get(i)) present.Insert(value);
    }
    RecordList list(section, currentRecord, true, true);
    char entry[kValueSize];
    for (int i = 0; i < older; ++i) {
        const char* value = olderList.Get(i);
        if (!value) continue;  // a missing older key adds nothing
        CopyBounded(entry, sizeof entry, value);
        if (present.Contains(entry)) continue;
        list.Add(entry);
        present.Insert(entry);
    }
}

namespace {

bool SameFile(const char* a, const char* b) {
    char fullA[kPathSize], fullB[kPathSize];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(a, sizeof fullA, fullA, &name);
    DWORD m = GetFullPathNameA(b, sizeof fullB, fullB, &name);
    return n > 0 && n < sizeof fullA && m > 0 && m < sizeof fullB && lstrcmpiA(fullA, fullB) == 0;
}

// Copies from over to unless both name the same file (the installed copy run again).
bool PlaceCopy(const char* from, const char* to) { return SameFile(from, to) || CopyFileA(from, to, FALSE); }

// The product's entry in the list of installed programs, when it names this uninstaller:
// without the uninstaller (or its record) it would point at nothing.
void WithdrawRegistration(const char* script, const char* uninstaller) {
    char name[kValueSize], command[kPathSize];
    if (!ReadText("Root", "Name", name, sizeof name, script) || FindFirstChar(name, '\\')) return;
    char key[kPathSize] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    if (!JoinPath(key, name)) return;
    {
        UniqueKey product;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, product.put()) != ERROR_SUCCESS ||
            !QueryText(product.get(), "UninstallString", command, sizeof command, nullptr))
            return;
    }
    const char* program = command[0] == '"' ? command + 1 : command;
    if (_strnicmp(program, uninstaller, strlen(uninstaller)) != 0) return;  // another product's
    UniqueKey uninstall;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                      KEY_ALL_ACCESS, uninstall.put()) == ERROR_SUCCESS) {
        RegDeleteKeyA(uninstall.get(), name);
        RegFlushKey(uninstall.get());
    }
}

void ReportNotPlaced(HWND dialog, const char* script, const char* path) {
    char caption[kValueSize], text[3 * kPathSize];
    ReadText("Setup", "Name", caption, sizeof caption, script);
    FormatBounded(text, sizeof text,
                  Msg("The uninstaller could not be placed in the install folder:\n\n%s\n\n"
                      "The product is installed, but it cannot be uninstalled from the list of installed programs.",
                      "アンインストーラーをインストール先に置けませんでした：\n\n%s\n\n"
                      "製品はインストールされましたが、プログラムの一覧からアンインストールすることはできません．"),
                  path);
    MessageBoxA(dialog, text, caption, MB_OK | MB_ICONWARNING);
}

}  // namespace

bool MoveRecordIntoInstallFolder(const char* installFolder) {
    RunState& run = Run();
    if (!run.scriptCopyFolder[0] || !IsAbsolutePath(installFolder)) return false;
    char record[kPathSize], uninstaller[kPathSize], aside[kPathSize], own[kPathSize];
    CopyBounded(record, sizeof record, installFolder);
    CopyBounded(uninstaller, sizeof uninstaller, installFolder);
    CopyBounded(aside, sizeof aside, run.scriptCopyFolder);
    if (!JoinPath(record, "Setup.ini") || !JoinPath(uninstaller, "Setup.exe") || !JoinPath(aside, "Earlier.ini"))
        return false;
    if (SameFile(run.scriptPath, record)) return false;
    // The earlier install's record is read (facts, lists) from its copy from now on; none
    // there leaves a name that no file answers to.
    DeleteFileA(aside);
    if (PathExists(record) && !CopyFileA(record, aside, TRUE)) return false;
    FlushScript(run.scriptPath);
    if (!CopyFileA(run.scriptPath, record, FALSE)) return false;
    SetFileAttributesA(record, FILE_ATTRIBUTE_NORMAL);
    CopyBounded(run.earlierRecord, sizeof run.earlierRecord, aside);
    CopyBounded(run.scriptPath, sizeof run.scriptPath, record);
    // The uninstaller comes along at once; its placement at the end checks and reports.
    if (OwnExecutablePath(own, sizeof own)) PlaceCopy(own, uninstaller);
    return true;
}

void PlaceUninstaller(HWND dialog) {
    const char* script = Script();
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    char uninstaller[kPathSize], record[kPathSize], own[kPathSize];
    CopyBounded(uninstaller, sizeof uninstaller, installFolder);
    CopyBounded(record, sizeof record, installFolder);
    // Without a real folder, or with names that do not fit, the copies would land beside
    // the running script or under a cut name.
    if (!IsAbsolutePath(installFolder) || !JoinPath(uninstaller, "Setup.exe") || !JoinPath(record, "Setup.ini"))
        return;
    // The running program itself, whatever name it was shipped or saved under.
    bool placed = OwnExecutablePath(own, sizeof own) && PlaceCopy(own, uninstaller);
    if (placed && Run().restartNeeded) {
        char command[2 * kPathSize];
        if (FormatHandOverCommand(command, sizeof command, uninstaller, "reboot")) HandOverTo(command, SW_SHOW);
    }
    // The earlier install's record: kept aside when the run moved its own into the folder.
    const char* older = Run().earlierRecord[0] ? Run().earlierRecord : record;
    MergeRecordList(older, script, "MakedDirectory");
    MergeRecordList(older, script, "CopiedFile");
    FlushScript(script);
    bool recorded = PlaceCopy(script, record);
    if (placed && recorded) return;
    WithdrawRegistration(script, uninstaller);
    ReportNotPlaced(dialog, script, placed ? record : uninstaller);
}
