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

// Whether the file at path has the entry's size and hash.
SealResult CompareWithEntry(const char* path, const SealEntry& entry, char* buffer, size_t bufferSize) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return SealResult::Missing;
    uint64_t size = 0;
    uint8_t hash[32];
    if (!HashFileContent(path, buffer, bufferSize, &size, hash)) return SealResult::Missing;
    return size == entry.size && memcmp(hash, entry.hash, sizeof hash) == 0 ? SealResult::Holds
                                                                             : SealResult::Changed;
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
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    Sha256 h;
    uint64_t total = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, (DWORD)bufferSize, &got, nullptr)) return false;
        if (got == 0) break;
        h.Add(buffer, got);
        total += got;
    }
    h.Finish(hash);
    *size = total;
    return true;
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

SealVerdict CheckSealedFiles(const char* data, size_t size, const char* folder, FileProgress& progress) {
    SealReader reader(data, size);
    if (!reader.Check()) return Damaged();
    HeapBuffer buffer(kReadBlock);
    if (!buffer) return Damaged();
    progress.Begin(reader.count());
    SealVerdict v;
    SealEntry entry;
    while (v.result == SealResult::Holds && reader.Next(&entry)) {
        if (!EqualsAsciiNoCase(entry.name, "Setup.ini")) {
            char path[kPathSize];
            bool fits = CopyBounded(path, sizeof path, folder) && JoinPath(path, entry.name);
            v.result = fits ? CompareWithEntry(path, entry, buffer.data(), buffer.size()) : SealResult::Missing;
            if (v.result != SealResult::Holds) CopyBounded(v.name, sizeof v.name, entry.name);
        }
        progress.Advance(entry.name);
    }
    progress.End();
    return v;
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
