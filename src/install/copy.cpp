#include "install/copy.h"
#include "install/copy_entry.h"
#include <string.h>
#include "run/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "install/record.h"
#include "install/seal_check.h"
#include "run/restart.h"
#include "install/uninstaller.h"
#include "run/channel.h"
#include "run/machine.h"
#include "run/progress.h"
#include "run/report.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"

namespace {

enum EntryState { kDone = 0, kWaiting = 1, kFailed = 2 };

// Cleared by the constructor: member initialisers would keep an initialised copy in the program.
struct CopyEntry {
    CopyEntry() {
        memset(this, 0, sizeof *this);
        whole = true;
    }
    bool noRecord;      // "!"
    bool keepNewer;     // "&"
    bool overwrite;     // "?"
    bool ignoreFail;    // "*"
    bool whole;         // destination and source fit their buffers uncut
    char path[kValueSize];  // the entry without its prefixes
    char destination[kPathSize];
    char source[kPathSize];
};

// A growable array with one state per copy-list entry.
class StateArray {
public:
    StateArray() = default;
    ~StateArray() {
        if (data_) HeapFree(GetProcessHeap(), 0, data_);
    }
    StateArray(const StateArray&) = delete;
    StateArray& operator=(const StateArray&) = delete;
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

// Entries copied together. Their record entries are written before the first of them
// is copied, so the record always keeps ahead of the copying; a batch grows while the
// list goes on, which keeps the number of whole-file record writes small.
constexpr size_t kFirstBatch = 64;
constexpr size_t kLargestBatch = 4096;

// How a copy over what is there is told: a new file, or the reason it was written over.
struct CopyWord {
    Outcome outcome;
    const char* word;
    const char* why;
};

struct BatchItem {
    size_t k;  // number in the copy list
    CopyEntry entry;
    CopyWord how;
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
    SealedSources* sealed = nullptr;  // a sealed run's: only sealed files, as sealed, are copied
};

// Reads copy-list entry k; false when it is absent.
bool ReadCopyEntry(CopyRun& run, int k, CopyEntry& entry) {
    const char* text = run.list->Get(k);
    if (!text) return false;
    char value[kValueSize];
    entry = CopyEntry();
    entry.whole = CopyBounded(value, sizeof value, text);
    CopyPrefixes prefixes;
    const char* path = ParseCopyPrefixes(value, &prefixes);
    entry.noRecord = prefixes.noRecord;
    entry.keepNewer = prefixes.keepNewer;
    entry.overwrite = prefixes.overwrite;
    entry.ignoreFail = prefixes.ignoreFail;
    CopyBounded(entry.path, sizeof entry.path, path);
    entry.whole &= CopyEntryPaths(path, run.installFolder, run.sourceFolder, entry.destination, entry.source);
    return true;
}

// "<- source", then why, then what the record makes of it.
void TellCopy(Outcome outcome, const char* word, const CopyEntry& entry, const char* why, DWORD error = 0) {
    char detail[2 * kPathSize + 128];
    FormatBounded(detail, sizeof detail, "<- %s%s%s", entry.source, why,
                  entry.noRecord ? "  (not recorded: the uninstall leaves it)" : "");
    Tell(outcome, word, entry.destination, detail, error);
}

void SetState(CopyRun& run, size_t k, int state, const CopyEntry& entry) {
    run.states[k] = state;
    size_t cost = strlen(entry.destination) + 2;
    if (state == kWaiting) run.waitingTotal += cost;
    if (state == kFailed) run.failedTotal += cost;
}

// A copy that did not happen: a missing source is told as such, anything else with the
// system's error; "*" keeps it from the failure list.
void Fail(CopyRun& run, size_t k, const CopyEntry& entry, DWORD error) {
    SetState(run, k, entry.ignoreFail ? kDone : kFailed, entry);
    const char* word = entry.ignoreFail ? "fails-quietly" : "fails";
    // The author marked the file optional: its failure does not fail the run.
    const Outcome outcome = entry.ignoreFail ? Outcome::Told : Outcome::Failed;
    if (!entry.whole) {
        Tell(outcome, word, entry.path, "(longer than 259 bytes: listed as not copied)");
    } else if (DWORD a = M().Attributes(entry.source); a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) {
        TellCopy(outcome, entry.ignoreFail ? "missing-quietly" : "missing", entry,
                 entry.ignoreFail ? "  (not copied, not reported)" : "  (not copied: listed as not copied)");
    } else {
        TellCopy(outcome, word, entry, entry.ignoreFail ? "  (not reported)" : "  (listed as not copied)", error);
    }
}

void Succeed(CopyRun& run, size_t k, const CopyEntry& entry, Outcome outcome, const char* word, const char* why) {
    // Files from a disc arrive read-only, and the uninstall could not remove them.
    if (Run().readOnlySource) {
        DWORD attributes = M().Attributes(entry.destination);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            M().SetAttributes(entry.destination, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    SetState(run, k, kDone, entry);
    if (!entry.noRecord) run.copied->Add(entry.destination);
    TellCopy(outcome, word, entry, why);
}

// In a sealed run: the source held unchanged until the copy is done, or not copied. A
// file the seal does not list is refused unless it is simply missing (told as ever); an
// optional one ("*") quietly, as an optional file left out by the author.
// A sealed run's refusal of a source: changed since the check, or there but not sealed.
// One neither sealed nor there is no refusal: the copy tells it missing, as ever.
bool SealRefuses(SealedSources::Hold hold, const char* source) {
    return hold == SealedSources::Hold::Changed ||
           (hold == SealedSources::Hold::NotSealed && M().Attributes(source) != INVALID_FILE_ATTRIBUTES);
}

bool HoldSealed(CopyRun& run, size_t k, const CopyEntry& entry, UniqueFile* held) {
    SealedSources::Hold hold = run.sealed->Take(entry.source, held);
    if (hold == SealedSources::Hold::Held) return true;
    if (!SealRefuses(hold, entry.source)) {
        Fail(run, k, entry, ERROR_FILE_NOT_FOUND);
        return false;
    }
    const bool listed = hold == SealedSources::Hold::Changed;
    const bool quiet = !listed && entry.ignoreFail;
    SetState(run, k, quiet ? kDone : kFailed, entry);
    TellCopy(quiet ? Outcome::Told : Outcome::Failed, quiet ? "refused-quietly" : "refused", entry,
             listed ? "  (not as sealed: changed since the check, not copied)" : "  (not in the seal: not copied)");
    return false;
}

void CopyAttempt(CopyRun& run, size_t k, CopyEntry& entry, const CopyWord& how) {
    RunProgress().Advance(entry.destination);
    if (!entry.whole) {  // a cut path names some other file
        Fail(run, k, entry, 0);
        return;
    }
    UniqueFile held;
    if (run.sealed && !HoldSealed(run, k, entry, &held)) return;
    if (M().Copy(entry.source, entry.destination, false)) {
        Succeed(run, k, entry, how.outcome, how.word, how.why);
        return;
    }
    DWORD error = GetLastError();
    if (!run.reboot) {
        Fail(run, k, entry, error);
        return;
    }
    M().SetAttributes(entry.destination, FILE_ATTRIBUTE_NORMAL);
    if (M().Copy(entry.source, entry.destination, false)) {
        Succeed(run, k, entry, how.outcome, how.word, how.why);
        return;
    }
    if (M().CopyAtRestart(entry.source, entry.destination) == RestartRoute::None) {
        Fail(run, k, entry, GetLastError());  // nothing waits for the restart: the file is not installed
        return;
    }
    Run().restartNeeded = true;
    Succeed(run, k, entry, Outcome::Restart, "restart", "  (in use: replaced at the next restart)");
}

// Records the batch's destinations ahead, then copies them.
void CopyBatch(CopyRun& run, BatchItem* items, size_t n) {
    const char* ahead[kLargestBatch];
    int m = 0;
    for (size_t i = 0; i < n; ++i)
        if (!items[i].entry.noRecord && items[i].entry.whole) ahead[m++] = items[i].entry.destination;
    run.copied->WriteAhead(ahead, m);
    for (size_t i = 0; i < n; ++i) CopyAttempt(run, items[i].k, items[i].entry, items[i].how);
}

// Header, the destinations of the entries in state, trailer; empty when out of memory.
bool BuildList(CopyRun& run, int state, size_t total, const char* header, const char* trailer,
               HeapBuffer& list) {
    HeapBuffer buffer(total + 260);
    if (!buffer) return false;
    BoundedWriter text(buffer.data(), buffer.size());
    text.Append(header);
    CopyEntry entry;
    for (size_t k = 0; k < run.states.size(); ++k) {
        if (run.states[k] != state) continue;
        if (!ReadCopyEntry(run, (int)k, entry)) break;
        text.Append(entry.destination);
        text.Append("\r\n");
    }
    text.Append(trailer);
    list = static_cast<HeapBuffer&&>(buffer);
    return true;
}

// Before a question or a report waits for the user: the record on disk lists only the
// files really copied, not the entries written ahead of copies that failed or wait, so
// that a run ended there never claims another program's file.
void SettleRecord(CopyRun& run) { run.copied->WriteCount(run.copied->Next()); }

// CompareFileTime(source, destination) of the last-write times an attribute call tells:
// opening both files costs several times as much. 2 when either is missing or a folder.
// there: whether anything is at the destination.
int AgeByAttributes(const CopyEntry& entry, bool* there) {
    WIN32_FILE_ATTRIBUTE_DATA destination, source;
    *there = M().AttributeData(entry.destination, &destination);
    if (!*there || (destination.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return 2;
    if (!M().AttributeData(entry.source, &source) || (source.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return 2;
    return CompareFileTime(&source.ftLastWriteTime, &destination.ftLastWriteTime);
}

// The first pass: entries whose destination is missing or older are copied at once,
// the others kept or left waiting for the prompt. False when memory ran out.
bool FirstPass(CopyRun& run, BatchItem* items) {
    size_t batch = kFirstBatch;
    for (int k = 0;;) {
        size_t n = 0;
        bool more = true;
        while (n < batch && (more = ReadCopyEntry(run, k, items[n].entry))) {
            CopyEntry& entry = items[n].entry;
            if (!run.states.Push(kDone)) return false;
            bool there = false;
            int age = entry.whole ? AgeByAttributes(entry, &there) : 2;
            // A file that will be kept or asked about must open for reading as a copy
            // would; one in use that does not is copied over at once, as before any
            // question (the copy tells what became of it).
            if ((age == 0 || age == -1) && !entry.overwrite && M().CompareAge(entry.destination, entry.source) == 2)
                age = 2;
            if (age == 2) {
                items[n].how = there ? CopyWord{Outcome::Replaced, "replace", ""} : CopyWord{Outcome::Made, "new", ""};
                items[n++].k = (size_t)k;  // copy attempt
            } else if (age == 1) {
                items[n].how = {Outcome::Replaced, "replace", "  (the file there is older)"};
                items[n++].k = (size_t)k;
            } else if (entry.keepNewer) {
                RunProgress().Advance(entry.destination);
                TellCopy(Outcome::Kept, "keep", entry, "  (the file there is as new or newer: kept, \"&\")");
            } else if (entry.overwrite) {
                items[n].how = {Outcome::Replaced, "overwrite", "  (the file there is as new or newer: overwritten, \"?\")"};
                items[n++].k = (size_t)k;
            } else {
                SetState(run, (size_t)k, kWaiting, entry);
                RunProgress().Advance(entry.destination);
                TellCopy(Outcome::Told, "ask", entry,
                         "  (the file there is as new or newer: the user is asked; copied on Yes)");
            }
            ++k;
        }
        CopyBatch(run, items, n);
        if (!more) return true;
        if (batch < kLargestBatch) batch *= 2;
    }
}

void AskToOverwrite(CopyRun& run, BatchItem* items) {
    HeapBuffer text(0);
    if (!BuildList(run, kWaiting, run.waitingTotal,
                   Msg("New file exist...\r\n\r\n", "以下のファイルは新しいものが存在します．\r\n\r\n"),
                   Msg("\r\nOverwrite?", "\r\n上書きしますか？"), text))
        return;  // the waiting files stay as they are
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, run.script);
    Message question{Message::Question, caption, text.data()};
    question.defaultNo = ReadNumber("CopyFile", "DefaultNo", 0, run.script) != 0;
    question.repaintAfter = true;
    SettleRecord(run);
    if (Ask(question) != Answer::Yes) return;
    size_t n = 0;
    for (size_t k = 0; k < run.states.size(); ++k) {
        if (run.states[k] != kWaiting) continue;
        if (!ReadCopyEntry(run, (int)k, items[n].entry)) break;
        items[n].how = {Outcome::Replaced, "replace", "  (the file there is as new or newer: the user said Yes)"};
        items[n++].k = k;
        if (n == kLargestBatch) {
            CopyBatch(run, items, n);
            n = 0;
        }
    }
    CopyBatch(run, items, n);
}

void ReportFailures(CopyRun& run) {
    HeapBuffer text(0);
    if (!BuildList(run, kFailed, run.failedTotal,
                   Msg("Could not copy these...\r\n\r\n", "以下のファイルはコピーできませんでした\r\n\r\n"),
                   Msg("\r\nContinue...", "\r\n処理は継続します"), text))
        return;
    char caption[kValueSize];
    ReadText("Setup", "Name", caption, sizeof caption, run.script);
    SettleRecord(run);
    Message report{Message::Warning, caption, text.data()};
    report.repaintAfter = true;
    Ask(report);
}

bool AnyInState(CopyRun& run, int state) {
    for (size_t k = 0; k < run.states.size(); ++k)
        if (run.states[k] == state) return true;
    return false;
}

void MakeFolders(CopyRun& run) {
    TellSection("Folders");
    RecordList made("MakedDirectory", run.script, false, false);
    char folder[kPathSize];
    CopyBounded(folder, sizeof folder, run.installFolder);
    int n = MakeFolderTree(folder, 0, made);
    ForEachNumberedKey(run.script, "MakeDirectory", 1, [&](int, const char* value) {
        if (ExtraFolderPath(run.installFolder, value, folder))
            n = MakeFolderTree(folder, n, made);
        else
            Tell(Outcome::Kept, "refused", value, "(leaves the install folder, or longer than 259 bytes)");
        return true;
    });
    made.WriteCount(n);
}

// The file of [CopyFile] "Self", under its own name in the install folder; recorded
// only when it was copied (a failed copy may name a folder, which must never be removed).
void CopySelf(CopyRun& run) {
    char self[kValueSize];
    if (ReadNumber("Check", "Copy", 0, run.script) != 2 || !ReadText("CopyFile", "Self", self, sizeof self, run.script))
        return;
    char destination[kPathSize], detail[2 * kPathSize + 64];
    if (!SelfDestination(run.installFolder, self, destination)) {
        Tell(Outcome::Failed, "fails", self, "(\"Self\" names no file, or it does not fit)");
        return;
    }
    const bool there = M().Attributes(destination) != INVALID_FILE_ATTRIBUTES;
    UniqueFile held;
    if (run.sealed && SealRefuses(run.sealed->Take(self, &held), self)) {
        Tell(Outcome::Failed, "refused", destination, "(\"Self\": not as sealed, not copied)");
        return;
    }
    const char* ahead[] = {destination};
    run.copied->WriteAhead(ahead, 1);
    FormatBounded(detail, sizeof detail, "<- %s\\%s", run.sourceFolder, self);
    if (M().Copy(self, destination, false)) {
        run.copied->Add(destination);
        AppendBounded(detail, sizeof detail, "  (\"Self\", the Copy box is checked)");
        Tell(there ? Outcome::Replaced : Outcome::Made, there ? "replace" : "new", destination, detail);
    } else {
        AppendBounded(detail, sizeof detail, "  (\"Self\": not copied, not recorded)");
        Tell(Outcome::Failed, "missing", destination, detail, GetLastError());
    }
}

}  // namespace

bool CopyEntryPaths(const char* path, const char* installFolder, const char* sourceFolder, char* destination,
                    char* source) {
    bool whole = ExpandPath(path, installFolder, destination, false);
    whole &= CopyBounded(source, kPathSize, sourceFolder);
    whole &= JoinPath(source, path);
    return whole;
}

bool ExtraFolderPath(const char* installFolder, const char* name, char* folder) {
    CopyBounded(folder, kPathSize, installFolder);
    // A cut name is another folder, and one that climbs out of the install folder is
    // not the product's to make (nor, later, to remove).
    return JoinPath(folder, name) && IsInsideFolder(folder, installFolder);
}

bool SelfDestination(const char* installFolder, const char* self, char* destination) {
    CopyBounded(destination, kPathSize, installFolder);
    return LastComponent(self)[0] && JoinPath(destination, LastComponent(self));
}

int MakeFolderTree(char* folder, int next, RecordList& list) {
    if (M().MakeFolder(folder)) {
        Tell(Outcome::Made, "make", folder);
        list.Set(next, folder);
        return next + 1;
    }
    if (M().Attributes(folder) != INVALID_FILE_ATTRIBUTES) {
        Tell(Outcome::Kept, "exists", folder);
        list.Set(next, folder);
        return next + 1;
    }
    char* bs = FindLastBackslash(folder);
    if (!bs) return next;
    *bs = 0;
    next = MakeFolderTree(folder, next, list);
    *bs = '\\';
    if (!M().MakeFolder(folder)) {
        Tell(Outcome::Failed, "fails", folder, "(the folder could not be made)", GetLastError());
        return next;
    }
    Tell(Outcome::Made, "make", folder);
    list.Set(next, folder);
    return next + 1;
}

void CopyInstallFiles(HWND owner, const char* installFolder, bool copyBox, bool deleteBox) {
    const char* script = Script();
    WriteText("Check", "Copy", copyBox ? "2" : "0", script);
    WriteText("Check", "Del", deleteBox ? "2" : "0", script);

    CopyRun run{};
    run.script = script;
    CopyBounded(run.installFolder, sizeof run.installFolder, installFolder);
    WriteText("Root", "Named", run.installFolder, script);
    MakeFolders(run);
    // From here on the record is written where it stays (script, the run's path buffer,
    // follows the move).
    MoveRecordIntoInstallFolder(run.installFolder);

    TellSection("Files");
    if (!GetCurrentDirectoryA(sizeof run.sourceFolder, run.sourceFolder)) run.sourceFolder[0] = 0;
    run.reboot = ReadNumber("CopyFile", "Reboot", 0, script) != 0;
    RecordList copied("CopiedFile", script, false, false);
    run.copied = &copied;
    const RunState& state = Run();
    char setupFolder[kPathSize] = "";
    if (state.seal) FolderPart(OriginalScript(), setupFolder, sizeof setupFolder);
    SealedSources sealed(state.seal, state.sealSize, setupFolder);
    if (state.seal) run.sealed = &sealed;
    SectionIndex list("CopyFile", script);
    run.list = &list;
    if (!list.Get(0) && list.Size() > 0) TellNote("[CopyFile] has no key 0: nothing is copied");
    if (run.reboot) TellNote("[CopyFile] \"Reboot\": a file in use is replaced at the next restart");
    size_t entries = 0;
    while (list.Get((int)entries)) ++entries;
    RunProgress().Begin(entries);
    HeapBuffer batch(kLargestBatch * sizeof(BatchItem));
    BatchItem* items = reinterpret_cast<BatchItem*>(batch.data());
    // Out of memory the step ends early, but never without the Count of what it copied.
    if (batch && FirstPass(run, items)) {
        if (AnyInState(run, kWaiting)) AskToOverwrite(run, items);
        if (AnyInState(run, kFailed)) ReportFailures(run);
        CopySelf(run);
    }
    RunProgress().End();
    int recorded = copied.Next();
    copied.WriteCount(recorded < 1 ? 1 : recorded);
    if (owner) UpdateWindow(owner);
}
