#include "install/seal_check.h"
#include <string.h>
#include "base/handles.h"
#include "base/sha256.h"
#include "base/text.h"
#include "install/seal_list.h"
#include "run/progress.h"
#include "script/paths.h"
#include "script/script.h"

namespace {

const size_t kReadBlock = 256 * 1024;

// Open for reading with no sharing but reading: nothing changes the file while it is open.
UniqueFile OpenToHash(const char* path) {
    return UniqueFile(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool HashOpenFile(HANDLE file, char* buffer, size_t bufferSize, uint64_t* size, uint8_t hash[32]) {
    Sha256 h;
    uint64_t total = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, (DWORD)bufferSize, &got, nullptr)) return false;
        if (got == 0) break;
        h.Add(buffer, got);
        total += got;
    }
    h.Finish(hash);
    *size = total;
    return true;
}

// Whether an open file (none: missing) has the entry's size and hash.
SealResult CompareOpenFile(const UniqueFile& file, const SealEntry& entry, char* buffer, size_t bufferSize) {
    uint64_t size = 0;
    uint8_t hash[32];
    if (!file || !HashOpenFile(file.get(), buffer, bufferSize, &size, hash)) return SealResult::Missing;
    return size == entry.size && memcmp(hash, entry.hash, sizeof hash) == 0 ? SealResult::Holds
                                                                             : SealResult::Changed;
}

// Whether the file at path has the entry's size and hash. A folder in its place does not
// open for reading as a file: missing, as a missing file.
SealResult CompareWithEntry(const char* path, const SealEntry& entry, char* buffer, size_t bufferSize) {
    return CompareOpenFile(OpenToHash(path), entry, buffer, bufferSize);
}

SealVerdict Damaged() {
    SealVerdict v;
    v.result = SealResult::Damaged;
    return v;
}

}  // namespace

bool OwnSeal(const char** data, size_t* size) {
    HRSRC found = FindResourceA(nullptr, "SEAL", "SEAL");
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD n = SizeofResource(nullptr, found);
    if (!bytes) return false;
    *data = static_cast<const char*>(bytes);
    *size = n;
    return true;
}

bool HashFileContent(const char* path, char* buffer, size_t bufferSize, uint64_t* size, uint8_t hash[32]) {
    UniqueFile file = OpenToHash(path);
    return file && HashOpenFile(file.get(), buffer, bufferSize, size, hash);
}

SealedSources::SealedSources(const char* data, size_t size, const char* folder)
    : offsets_(data ? SealReader(data, size).count() * sizeof(uint32_t) : 0),
      buffer_(data ? kReadBlock : 0),
      index_(data, size, reinterpret_cast<uint32_t*>(offsets_.data()), data ? offsets_.size() / sizeof(uint32_t) : 0) {
    if (!CopyBounded(folder_, sizeof folder_, folder)) folder_[0] = 0;
    char* last = FindLastBackslash(folder_);  // the folder part ends in one
    if (last && last[1] == 0) *last = 0;
}

SealedSources::Hold SealedSources::Take(const char* source, UniqueFile* held) {
    char full[kPathSize];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(source, sizeof full, full, &name);
    if (!index_.ok() || !buffer_ || n == 0 || n >= sizeof full || !folder_[0] || !IsPathUnder(full, folder_))
        return Hold::NotSealed;
    size_t skip = strlen(folder_);
    SealEntry entry;
    if (full[skip] != '\\' || !index_.Find(full + skip + 1, &entry)) return Hold::NotSealed;
    *held = OpenToHash(full);
    if (CompareOpenFile(*held, entry, buffer_.data(), buffer_.size()) == SealResult::Holds) return Hold::Held;
    held->reset();
    return Hold::Changed;
}

SealVerdict CheckSealedScript(const char* data, size_t size, const char* script) {
    SealReader reader(data, size);
    if (!reader.Check()) return Damaged();
    SealEntry entry;
    while (reader.Next(&entry)) {
        if (!EqualsAsciiNoCase(entry.name, "Setup.ini")) continue;
        HeapBuffer buffer(kReadBlock);
        if (!buffer) return Damaged();
        SealVerdict v;
        v.result = CompareWithEntry(script, entry, buffer.data(), buffer.size());
        CopyBounded(v.name, sizeof v.name, entry.name);
        return v;
    }
    return Damaged();  // a seal always holds the script
}

namespace {

// One half of the list (the entries of one parity), checked on its own thread: two
// processors hash a large product in about half the time.
struct HalfCheck {
    const char* data = nullptr;
    size_t size = 0;
    const char* folder = nullptr;
    size_t parity = 0;
    FileProgress* progress = nullptr;  // the half on the dialog's thread moves the bar
    size_t failedAt = (size_t)-1;
    SealVerdict verdict;
};

void CheckHalf(HalfCheck& h) {
    SealReader reader(h.data, h.size);  // checked whole by the caller
    HeapBuffer buffer(kReadBlock);
    if (!buffer) {
        h.verdict.result = SealResult::Damaged;
        h.failedAt = 0;
        return;
    }
    SealEntry entry;
    for (size_t i = 0; reader.Next(&entry); ++i) {
        if (i % 2 != h.parity) continue;
        if (!EqualsAsciiNoCase(entry.name, "Setup.ini")) {
            char path[kPathSize];
            bool fits = CopyBounded(path, sizeof path, h.folder) && JoinPath(path, entry.name);
            SealResult r = fits ? CompareWithEntry(path, entry, buffer.data(), buffer.size()) : SealResult::Missing;
            if (r != SealResult::Holds) {
                h.verdict.result = r;
                CopyBounded(h.verdict.name, sizeof h.verdict.name, entry.name);
                h.failedAt = i;
                return;
            }
        }
        if (h.progress) {
            h.progress->Advance(entry.name);
            h.progress->Advance(entry.name);  // and one of the other half's, near enough
        }
    }
}

DWORD WINAPI CheckHalfThread(void* half) {
    CheckHalf(*static_cast<HalfCheck*>(half));
    return 0;
}

}  // namespace

SealVerdict CheckSealedFiles(const char* data, size_t size, const char* folder, FileProgress& progress) {
    SealReader reader(data, size);
    if (!reader.Check()) return Damaged();
    progress.Begin(reader.count());
    HalfCheck odd, even;
    odd.data = even.data = data;
    odd.size = even.size = size;
    odd.folder = even.folder = folder;
    odd.parity = 1;
    even.parity = 0;
    even.progress = &progress;
    DWORD id = 0;
    UniqueKernelHandle thread(CreateThread(nullptr, 0, CheckHalfThread, &odd, 0, &id));
    CheckHalf(even);
    if (thread)
        WaitForSingleObject(thread.get(), INFINITE);
    else
        CheckHalf(odd);  // no second thread: one after the other
    progress.End();
    // The first file of the list that differs, whichever half found it.
    return odd.failedAt < even.failedAt ? odd.verdict : even.verdict;
}

const char* SealRefusalCaption() { return Msg("Checking files", "ファイルの確認"); }

void FormatSealRefusal(const SealVerdict& v, char* text, size_t cap) {
    const char* why = "";
    switch (v.result) {
    case SealResult::Holds: break;
    case SealResult::Changed: why = Msg("has been changed since the product was sealed.", "は封印後に変更されています．"); break;
    case SealResult::Missing: why = Msg("is missing.", "がありません．"); break;
    case SealResult::Damaged: break;
    }
    if (v.result == SealResult::Damaged) {
        CopyBounded(text, cap, Msg("The list of sealed files in Setup.exe is damaged.\n\nNothing has been installed.",
                                   "Setup.exe の封印されたファイルの一覧が壊れています．\n\nインストールは行われていません．"));
        return;
    }
    FormatBounded(text, cap,
                  Msg("The files of this setup are not as their author sealed them:\n\n%s %s\n\n"
                      "Nothing has been installed. Get the product again from its author.",
                      "このセットアップのファイルは作成者が封印したときと異なります：\n\n%s %s\n\n"
                      "インストールは行われていません．製品を作成者から入手し直してください．"),
                  v.name, why);
}
