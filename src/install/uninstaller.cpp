#include "install/uninstaller.h"
#include "app/handover.h"
#include "app/run_state.h"
#include "install/record.h"
#include "script/path_rules.h"
#include "script/paths.h"
#include "script/script.h"
#include "base/text.h"

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

void PlaceUninstaller(HWND) {
    const char* script = Script();
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    char uninstaller[kPathSize], record[kPathSize];
    CopyBounded(uninstaller, sizeof uninstaller, installFolder);
    CopyBounded(record, sizeof record, installFolder);
    // Without a real folder, or with names that do not fit, the copies would land beside
    // the running script or under a cut name.
    if (!IsAbsolutePath(installFolder) || !JoinPath(uninstaller, "Setup.exe") || !JoinPath(record, "Setup.ini"))
        return;
    CopyFileA("Setup.exe", uninstaller, FALSE);
    if (Run().restartNeeded) {
        char command[2 * kPathSize];
        if (FormatHandOverCommand(command, sizeof command, uninstaller, "reboot")) HandOverTo(command, SW_SHOW);
    }
    MergeRecordList(record, script, "MakedDirectory");
    MergeRecordList(record, script, "CopiedFile");
    FlushScript(script);
    CopyFileA(script, record, FALSE);
}
