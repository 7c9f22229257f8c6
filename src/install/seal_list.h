// The list of sealed files that SetupTool stores in a Setup.exe: one line per file with
// its SHA-256, its size and its name relative to the setup folder.
//
//   SETUP-SEAL 1 <count>
//   <64 hex digits> <size> <name>
//
// Lines end in CR LF or LF. Pure code without a Windows header: the list is read from a
// resource that anyone may have edited before signing, so it is checked whole before use.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "script/vocabulary.h"

struct SealEntry {
    char name[kPathSize];  // relative, backslashes, never ".." or a drive
    uint64_t size;
    uint8_t hash[32];
};

// No product has files this large; a size above it is a damaged list.
constexpr uint64_t kSealMaxFileSize = 1ull << 50;
constexpr size_t kSealMaxCount = 1000000;

// Whether name may stand in a seal: relative to the setup folder and inside it (no drive,
// no leading or doubled backslash, no "." or ".." part, no slash, colon or control
// character, shorter than a path).
bool IsSealableName(const char* name);

// Reads a list line by line. A list whose header or any line is wrong reads as damaged
// as a whole (Check() first), so that no file is trusted from half a list.
class SealReader {
public:
    SealReader(const char* data, size_t size);
    // Whether the whole list is sound: header, every line, as many lines as it says.
    bool Check();
    size_t count() const { return count_; }
    const char* data() const { return data_; }
    size_t size() const { return size_; }
    // The next entry; false at the end (or at a damaged line).
    bool Next(SealEntry* entry);
    void Rewind() { at_ = body_; }
    // Where the next line starts; Seek goes back to such a place.
    size_t offset() const { return at_; }
    void Seek(size_t offset) { at_ = offset; }

private:
    const char* data_;
    size_t size_;
    size_t body_ = 0, at_ = 0;  // offsets of the first line and of the next
    size_t count_ = 0;
    bool headerOk_ = false;
};

// Names of files compared as the system compares them: ASCII letters in any case, every
// other byte as it is, a double-byte character as a whole (its trail byte is no letter).
int CompareSealNames(const char* a, size_t aLength, const char* b, size_t bLength);

// The entries of a checked list by name. offsets: room for the list's count; false when
// the list is damaged or has more entries than that.
class SealIndex {
public:
    SealIndex(const char* data, size_t size, uint32_t* offsets, size_t capacity);
    bool ok() const { return ok_; }
    // The entry of a name relative to the setup folder; false when the list has none.
    bool Find(const char* name, SealEntry* entry);

private:
    SealReader reader_;
    uint32_t* offsets_;
    size_t count_ = 0;
    bool ok_ = false;
};

// The header and a line, each with its line end, into out (terminated); false when it
// does not fit or the entry cannot be sealed.
bool FormatSealHeader(size_t count, char* out, size_t cap);
bool FormatSealLine(const SealEntry& entry, char* out, size_t cap);
