#include "install/uninstaller.h"
#include "app/handover.h"
#include "app/run_state.h"
#include "install/record.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/text.h"

void MergeRecordList(const char* olderRecord, const char* currentRecord, const char* section) {
    int older = ReadCount(section, olderRecord);
    if (older <= 0) return;
    GrowableText olderText;
    if (!ReadSection(section, olderRecord, olderText)) return;
    // The older entries by number; only those below its "Count" take part.
    const char** byNumber = static_cast<const char**>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (size_t)older * sizeof(const char*)));
    if (!byNumber) return;
    ForEachNumberedLine(olderText, [&](int number, const char* value) {
        if (number >= 0 && number < older && !byNumber[number]) byNumber[number] = value;
    });

    PathSet present;
    {
        int current = ReadCount(section, currentRecord);
        GrowableText currentText;
        ReadSection(section, currentRecord, currentText);
        ForEachNumberedLine(currentText, [&](int number, const char* value) {
            if (number < current && value[0]) present.Insert(value);
        });
    }
    {
        RecordList list(section, currentRecord, true, true);
        for (int i = 0; i < older; ++i) {
            const char* value = byNumber[i];
            if (!value || !value[0] || present.Contains(value)) continue;
            char entry[kValueSize];
            CopyBounded(entry, sizeof entry, value);
            list.Add(entry);
            present.Insert(entry);
        }
    }
    HeapFree(GetProcessHeap(), 0, byNumber);
}

void PlaceUninstaller(HWND) {
    const char* script = Script();
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    char uninstaller[kPathSize];
    CopyBounded(uninstaller, sizeof uninstaller, installFolder);
    JoinPath(uninstaller, "Setup.exe");
    CopyFileA("Setup.exe", uninstaller, FALSE);
    if (Run().restartNeeded) {
        char command[2 * kPathSize];
        // Quoted, so that a folder with blanks still hands over exactly "reboot".
        if (FormatBounded(command, sizeof command, "\"%s\" reboot", uninstaller)) HandOverTo(command, SW_SHOW);
    }
    char record[kPathSize];
    CopyBounded(record, sizeof record, installFolder);
    JoinPath(record, "Setup.ini");
    MergeRecordList(record, script, "MakedDirectory");
    MergeRecordList(record, script, "CopiedFile");
    FlushScript(script);
    CopyFileA(script, record, FALSE);
}
