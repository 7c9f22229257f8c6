#include "install/seal_list.h"
#include <string.h>
#include "base/sha256.h"
#include "base/text.h"

namespace {

const char kHeader[] = "SETUP-SEAL 1 ";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A decimal number of at most digits digits, the whole field.
bool ParseNumber(const char* p, size_t n, size_t maxDigits, uint64_t* value) {
    if (n == 0 || n > maxDigits) return false;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        v = v * 10 + (uint64_t)(p[i] - '0');
    }
    *value = v;
    return true;
}

// The line at data[at..] without its end; the offset after its end in *next. False when
// the data ends without a line end.
bool LineAt(const char* data, size_t size, size_t at, size_t* length, size_t* next) {
    const void* nl = at < size ? memchr(data + at, '\n', size - at) : nullptr;
    if (!nl) return false;
    size_t end = (size_t)((const char*)nl - data);
    *next = end + 1;
    if (end > at && data[end - 1] == '\r') --end;
    *length = end - at;
    return true;
}

bool ParseLine(const char* line, size_t n, SealEntry* entry) {
    if (n < 64 + 1 + 1 + 1 + 1 || line[64] != ' ') return false;
    for (int i = 0; i < 32; ++i) {
        int hi = HexValue(line[2 * i]), lo = HexValue(line[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        entry->hash[i] = (uint8_t)(hi << 4 | lo);
    }
    const char* size = line + 65;
    const char* space = (const char*)memchr(size, ' ', n - 65);
    if (!space) return false;
    uint64_t value;
    if (!ParseNumber(size, (size_t)(space - size), 16, &value) || value > kSealMaxFileSize) return false;
    entry->size = value;
    size_t nameLength = n - (size_t)(space + 1 - line);
    if (nameLength == 0 || nameLength >= sizeof entry->name || memchr(space + 1, 0, nameLength)) return false;
    memcpy(entry->name, space + 1, nameLength);
    entry->name[nameLength] = 0;
    return IsSealableName(entry->name);
}

}  // namespace

bool IsSealableName(const char* name) {
    size_t length = strlen(name);
    if (length == 0 || length >= kPathSize) return false;
    const char* part = name;  // the start of the current part
    for (const char* p = name;; ++p) {
        unsigned char c = (unsigned char)*p;
        if (c == '\\' || c == 0) {
            size_t n = (size_t)(p - part);
            if (n == 0) return false;  // leading, doubled or trailing backslash
            if ((n == 1 && part[0] == '.') || (n == 2 && part[0] == '.' && part[1] == '.')) return false;
            if (c == 0) return true;
            part = p + 1;
            continue;
        }
        if (c < 0x20 || c == 0x7f || c == '/' || c == ':') return false;
        if (IsLeadByte(c)) {
            // A lead byte without a proper trail is no character: the system could read
            // what follows as a colon or a separator of its own.
            unsigned char trail = (unsigned char)p[1];
            if (trail < 0x40 || trail == 0x7f) return false;
            ++p;  // a trail byte may look like a backslash
        }
    }
}

SealReader::SealReader(const char* data, size_t size) : data_(data), size_(data ? size : 0) {
    size_t length = 0, next = 0;
    if (!LineAt(data_, size_, 0, &length, &next)) return;
    size_t h = sizeof kHeader - 1;
    uint64_t count;
    if (length <= h || memcmp(data_, kHeader, h) != 0 || !ParseNumber(data_ + h, length - h, 7, &count)) return;
    // Every line holds at least a hash, a size and a name: a count the data cannot hold is wrong.
    if (count > kSealMaxCount || count > (size_ - next) / 69) return;
    count_ = (size_t)count;
    body_ = at_ = next;
    headerOk_ = true;
}

bool SealReader::Check() {
    if (!headerOk_) return false;
    Rewind();
    SealEntry entry;
    size_t lines = 0;
    while (lines < count_ && Next(&entry)) ++lines;
    bool whole = lines == count_ && at_ == size_;
    Rewind();
    return whole;
}

bool SealReader::Next(SealEntry* entry) {
    size_t length = 0, next = 0;
    if (!headerOk_ || !LineAt(data_, size_, at_, &length, &next)) return false;
    if (!ParseLine(data_ + at_, length, entry)) return false;
    at_ = next;
    return true;
}

bool FormatSealHeader(size_t count, char* out, size_t cap) {
    return count <= kSealMaxCount && FormatBounded(out, cap, "%s%u\r\n", kHeader, (unsigned)count);
}

bool FormatSealLine(const SealEntry& entry, char* out, size_t cap) {
    if (!IsSealableName(entry.name) || entry.size > kSealMaxFileSize) return false;
    char hex[65];
    Sha256Hex(entry.hash, hex);
    char size[24];
    // No 64-bit format is common to every C runtime the program meets: digits by hand.
    char* p = size + sizeof size - 1;
    *p = 0;
    uint64_t v = entry.size;
    do {
        *--p = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    return FormatBounded(out, cap, "%s %s %s\r\n", hex, p, entry.name);
}
