#include "install/copy.h"
#include <stdlib.h>
#include <string.h>
#include "app/run_state.h"
#include "install/record.h"
#include "install/restart.h"
#include "script/section.h"
#include "res/resource.h"
#include "base/handles.h"
#include "script/paths.h"
#include "script/script.h"
#include "base/text.h"

namespace {

enum EntryState { kDone = 0, kWaiting = 1, kFailed = 2 };

struct CopyEntry {
    bool noRecord = false;    // "!"
    bool keepNewer = false;   // "&"
    bool overwrite = false;   // "?"
    bool ignoreFail = false;  // "*"
    char destination[kPathSize] = "";
    char source[kPathSize] = "";
};

// A growable array with one state per copy-list entry.
class StateArray {
public:
    ~StateArray() {
        if (data_) HeapFree(GetProcessHeap(), 0, data_);
    }
    bool Push(int value) {
        if (count_ == cap_) {
            size_t cap = cap_ ? cap_ * 2 : 256;
            void* block = data_ ? HeapReAlloc(GetProcessHeap(), 0, data_, cap * sizeof(int))
                                : HeapAlloc(GetProcessHeap(), 0, cap * sizeof(int));
            if (!block) return false;
            data_ = static_cast<int*>(block);
            cap_ = cap;
        }
        data_[count_++] = value;
        return true;
    }
    int& operator[](size_t i) { return data_[i]; }
    size_t size() const { return count_; }

private:
    int* data_ = nullptr;
    size_t count_ = 0, cap_ = 0;
};

struct CopyRun {
    const char* script;
    char installFolder[kPathSize];
    char sourceFolder[kPathSize];
    bool reboot;
    RecordList* copied;
    const SectionIndex* list;  // the copy list, read once
    StateArray states;
    size_t waitingTotal = 0, failedTotal = 0;
};

// Reads copy-list entry k; false when it is absent.
bool ReadCopyEntry(CopyRun& run, int k, CopyEntry& entry) {
    const char* text = run.list->Get(k);
    if (!text) return false;
    char value[kValueSize];
    CopyBounded(value, sizeof value, text);
    const char* p = value;
    entry = CopyEntry();
    if (*p == '!') entry.noRecord = true, ++p;
    if (*p == '&') entry.keepNewer = true, ++p;
    if (*p == '?') entry.overwrite = true, ++p;
    if (*p == '*') entry.ignoreFail = true, ++p;
    ExpandPath(p, run.installFolder, entry.destination, false);
    CopyBounded(entry.source, sizeof entry.source, run.sourceFolder);
    JoinPath(entry.source, p);
    return true;
}

void Record(CopyRun& run, const CopyEntry& entry) {
    if (!entry.noRecord) run.copied->Add(entry.destination);
}

void SetState(CopyRun& run, size_t k, int state, const CopyEntry& entry) {
    run.states[k] = state;
    size_t cost = strlen(entry.destination) + 2;
    if (state == kWaiting) run.waitingTotal += cost;
    if (state == kFailed) run.failedTotal += cost;
}

void CopyAttempt(CopyRun& run, size_t k, CopyEntry& entry) {
    if (CopyFileA(entry.source, entry.destination, FALSE)) {
        SetState(run, k, kDone, entry);
        Record(run, entry);
        return;
    }
    if (!run.reboot) {
        SetState(run, k, entry.ignoreFail ? kDone : kFailed, entry);
        return;
    }
    SetFileAttributesA(entry.destination, FILE_ATTRIBUTE_NORMAL);
    if (CopyFileA(entry.source, entry.destination, FALSE)) {
        SetState(run, k, kDone, entry);
        Record(run, entry);
        return;
    }
    bool scheduled = false;
    CopyViaTemporaryFile(entry.source, entry.destination, &scheduled);
    if (!scheduled) {
        // No temporary copy: nothing may replace the destination, so it is a failure.
        SetState(run, k, entry.ignoreFail ? kDone : kFailed, entry);
        return;
    }
    Run().restartNeeded = true;
    SetState(run, k, kDone, entry);
    Record(run, entry);
}

// Header, the destinations of the entries in state, trailer; empty when out of memory.
bool BuildList(CopyRun& run, int state, size_t total, const char* header, const char* trailer,
               HeapBuffer& text) {
    HeapBuffer buffer(total + 260);
    if (!buffer) return false;
    CopyBounded(buffer.data(), buffer.size(), header);
    CopyEntry entry;
    for (size_t k = 0; k < run.states.size(); ++k) {
        if (!ReadCopyEntry(run, (int)k, entry)) break;
        if (run.states[k] != state) continue;
        AppendBounded(buffer.data(), buffer.size(), entry.destination);
        AppendBounded(buffer.data(), buffer.size(), "\r\n");
    }
    AppendBounded(buffer.data(), buffer.size(), trailer);
    text = static_cast<HeapBuffer&&>(buffer);
    return true;
}

void RepaintOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    InvalidateRect(owner, nullptr, FALSE);
    UpdateWindow(owner);
}

void AskToOverwrite(HWND dialog, CopyRun& run) {
    HeapBuffer text(0);
    if (!BuildList(run, kWaiting, run.waitingTotal,
                   Msg("New file exist...\r\n\r\n", "以下のファイルは新しいものが存在します．\r\n\r\n"),
                   Msg("\r\nOverwrite?", "\r\n上書きしますか？"), text))
        return;  // the waiting files stay as they are
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, run.script);
    UINT style = MB_YESNO | MB_ICONQUESTION;
    if (ReadNumber("CopyFile", "DefaultNo", 0, run.script) != 0) style |= MB_DEFBUTTON2;
    if (MessageBoxA(dialog, text.data(), caption, style) == IDYES) {
        CopyEntry entry;
        for (size_t k = 0; k < run.states.size(); ++k) {
            if (run.states[k] != kWaiting) continue;
            if (!ReadCopyEntry(run, (int)k, entry)) break;
            CopyAttempt(run, k, entry);
        }
    }
    RepaintOwner(dialog);
}

void ReportFailures(HWND dialog, CopyRun& run) {
    HeapBuffer text(0);
    if (!BuildList(run, kFailed, run.failedTotal,
                   Msg("Could not copy these...\r\n\r\n", "以下のファイルはコピーできませんでした\r\n\r\n"),
                   Msg("\r\nContinue...", "\r\n処理は継続します"), text))
        return;
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, run.script);
    MessageBoxA(dialog, text.data(), caption, MB_OK | MB_ICONWARNING);
    RepaintOwner(dialog);
}

bool AnyInState(CopyRun& run, int state) {
    for (size_t k = 0; k < run.states.size(); ++k)
        if (run.states[k] == state) return true;
    return false;
}

}  // namespace

int CompareFileAge(const char* destination, const char* source) {
    UniqueFile dst(CreateFileA(destination, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!dst) return 2;
    UniqueFile src(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!src) return 2;
    FILETIME dstTime{}, srcTime{};
    GetFileTime(dst.get(), nullptr, nullptr, &dstTime);
    GetFileTime(src.get(), nullptr, nullptr, &srcTime);
    return CompareFileTime(&srcTime, &dstTime);
}

BOOL CopyViaTemporaryFile(const char* source, char* destination, bool* scheduled) {
    *scheduled = false;
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(destination, drive, dir, name, ext);
    char folder[kPathSize];
    CopyBounded(folder, sizeof folder, drive);
    AppendBounded(folder, sizeof folder, dir);
    char temporary[kPathSize];
    if (!GetTempFileNameA(folder, "RBT", 0, temporary)) return FALSE;
    if (!CopyFileA(source, temporary, FALSE)) {
        DeleteFileA(temporary);  // an empty file must never replace the destination
        return FALSE;
    }
    *scheduled = true;
    return ReplaceAtRestart(temporary, destination);
}

int MakeFolderTree(char* folder, int next, RecordList& list) {
    if (CreateDirectoryA(folder, nullptr) || PathExists(folder)) {
        list.Set(next, folder);
        return next + 1;
    }
    char* bs = FindLastBackslash(folder);
    if (!bs) return next;
    *bs = 0;
    next = MakeFolderTree(folder, next, list);
    *bs = '\\';
    if (!CreateDirectoryA(folder, nullptr)) return next;
    list.Set(next, folder);
    return next + 1;
}

void CopyInstallFiles(HWND dialog) {
    const char* script = Script();
    WriteText("Check", "Copy", IsDlgButtonChecked(dialog, IDC_COPY) == BST_CHECKED ? "2" : "0", script);
    WriteText("Check", "Del", IsDlgButtonChecked(dialog, IDC_DELETE_AFTER) == BST_CHECKED ? "2" : "0", script);

    CopyRun run{};
    run.script = script;
    GetDlgItemTextA(dialog, IDC_FOLDER, run.installFolder, sizeof run.installFolder);
    WriteText("Root", "Named", run.installFolder, script);
    {
        RecordList made("MakedDirectory", script, false, false);
        char folder[kPathSize];
        CopyBounded(folder, sizeof folder, run.installFolder);
        int n = MakeFolderTree(folder, 0, made);
        ForEachNumberedKey(script, "MakeDirectory", 1, [&](int, const char* value) {
            CopyBounded(folder, sizeof folder, run.installFolder);
            JoinPath(folder, value);
            n = MakeFolderTree(folder, n, made);
            return true;
        });
        made.WriteCount(n);
    }

    if (!GetCurrentDirectoryA(sizeof run.sourceFolder, run.sourceFolder)) run.sourceFolder[0] = 0;
    run.reboot = ReadNumber("CopyFile", "Reboot", 0, script) != 0;
    RecordList copied("CopiedFile", script, false, false);
    run.copied = &copied;
    SectionIndex list("CopyFile", script);
    run.list = &list;
    CopyEntry entry;
    for (int k = 0; ReadCopyEntry(run, k, entry); ++k) {
        if (!run.states.Push(kDone)) return;  // out of memory: the step ends here
        int age = CompareFileAge(entry.destination, entry.source);
        if (age == 2 || age == 1) {
            CopyAttempt(run, (size_t)k, entry);
        } else if (entry.keepNewer) {
            SetState(run, (size_t)k, kDone, entry);
        } else if (!entry.overwrite) {
            SetState(run, (size_t)k, kWaiting, entry);
        } else {
            CopyAttempt(run, (size_t)k, entry);
        }
    }
    if (AnyInState(run, kWaiting)) AskToOverwrite(dialog, run);
    if (AnyInState(run, kFailed)) ReportFailures(dialog, run);

    char self[kValueSize];
    if (ReadNumber("Check", "Copy", 0, script) == 2 && ReadText("CopyFile", "Self", self, sizeof self, script)) {
        char destination[kPathSize];
        CopyBounded(destination, sizeof destination, run.installFolder);
        JoinPath(destination, LastComponent(self));
        CopyFileA(self, destination, FALSE);
        copied.Add(destination);
    }
    int recorded = copied.Next();
    copied.WriteCount(recorded < 1 ? 1 : recorded);
    UpdateWindow(dialog);
}
