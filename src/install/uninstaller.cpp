#include "install/uninstaller.h"
#include "run/handover.h"
#include "run/run_state.h"
#include "install/record.h"
#include "registry/registry.h"
#include "run/channel.h"
#include "run/machine.h"
#include "run/report.h"
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
bool PlaceCopy(const char* from, const char* to) { return SameFile(from, to) || M().Copy(from, to, false); }

void ReportNotPlaced(const char* script, const char* path) {
    char caption[kValueSize], text[3 * kPathSize];
    ReadText("Setup", "Name", caption, sizeof caption, script);
    FormatBounded(text, sizeof text,
                  Msg("The uninstaller could not be placed in the install folder:\n\n%s\n\n"
                      "The product is installed, but it cannot be uninstalled from the list of installed programs.",
                      "アンインストーラーをインストール先に置けませんでした：\n\n%s\n\n"
                      "製品はインストールされましたが、プログラムの一覧からアンインストールすることはできません．"),
                  path);
    Ask(Message{Message::Warning, caption, text});
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
    if (PathExists(record) && !CopyFileA(record, aside, TRUE)) return false;  // the run's own files: no plan moves
    FlushScript(run.scriptPath);
    if (!CopyFileA(run.scriptPath, record, FALSE)) return false;
    SetFileAttributesA(record, FILE_ATTRIBUTE_NORMAL);
    CopyBounded(run.earlierRecord, sizeof run.earlierRecord, aside);
    CopyBounded(run.scriptPath, sizeof run.scriptPath, record);
    // The uninstaller comes along at once; its placement at the end checks and reports.
    if (ProgramPath(own, sizeof own)) PlaceCopy(own, uninstaller);
    return true;
}

void PlaceUninstaller(HWND) {
    const char* script = Script();
    TellSection("Uninstaller");
    char installFolder[kPathSize];
    ReadText("Root", "Named", installFolder, sizeof installFolder, script);
    char uninstaller[kPathSize], record[kPathSize], own[kPathSize];
    CopyBounded(uninstaller, sizeof uninstaller, installFolder);
    CopyBounded(record, sizeof record, installFolder);
    // Without a real folder, or with names that do not fit, the copies would land beside
    // the running script or under a cut name.
    if (!IsAbsolutePath(installFolder) || !JoinPath(uninstaller, "Setup.exe") || !JoinPath(record, "Setup.ini")) {
        TellNote("the install folder cannot hold the uninstaller: none is placed");
        return;
    }
    // The running program itself, whatever name it was shipped or saved under.
    const bool exeThere = M().Attributes(uninstaller) != INVALID_FILE_ATTRIBUTES;
    bool placed = ProgramPath(own, sizeof own) && PlaceCopy(own, uninstaller);
    char detail[kPathSize + 64];
    FormatBounded(detail, sizeof detail, "<- %s", own);
    if (placed)
        Tell(exeThere ? Outcome::Replaced : Outcome::Made, exeThere ? "replace" : "new", uninstaller, detail);
    else
        Tell(Outcome::Failed, "missing", uninstaller, detail, GetLastError());
    // Without the restart question (nobody there to answer it) the exit code tells.
    if (placed && Run().restartNeeded && !Run().noRestartQuestion) {
        char command[2 * kPathSize];
        if (FormatHandOverCommand(command, sizeof command, uninstaller, "reboot")) M().HandOver(command, SW_SHOW);
    }
    // The earlier install's record: kept aside when the run moved its own into the folder.
    const char* older = Run().earlierRecord[0] ? Run().earlierRecord : record;
    const bool merged = PathExists(older) && ReadCount("CopiedFile", older) != 0;
    MergeRecordList(older, script, "MakedDirectory");
    MergeRecordList(older, script, "CopiedFile");
    FlushScript(script);
    const bool recordThere = M().Attributes(record) != INVALID_FILE_ATTRIBUTES;
    bool recorded = PlaceCopy(script, record);
    const char* recordDetail =
        merged ? "(the install record; the lists of the one there are merged into it)" : "(the install record)";
    if (recorded)
        Tell(recordThere ? Outcome::Replaced : Outcome::Made, recordThere ? "replace" : "new", record, recordDetail);
    else
        Tell(Outcome::Failed, "fails", record, recordDetail, GetLastError());
    if (placed && recorded) return;
    WithdrawRegistration();
    ReportNotPlaced(script, placed ? record : uninstaller);
}
