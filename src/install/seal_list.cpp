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

// The name of the checked line at offset (its end not included).
void NameAt(const char* data, size_t size, size_t offset, const char** name, size_t* length) {
    size_t n = 0, next = 0;
    LineAt(data, size, offset, &n, &next);
    const char* line = data + offset;
    const char* space = (const char*)memchr(line + 65, ' ', n - 65);
    *name = space + 1;
    *length = n - (size_t)(space + 1 - line);
}

// Whether the name of the line at x comes before the name of the line at y.
bool NameBefore(const char* data, size_t size, uint32_t x, uint32_t y) {
    const char *a, *b;
    size_t an, bn;
    NameAt(data, size, x, &a, &an);
    NameAt(data, size, y, &b, &bn);
    return CompareSealNames(a, an, b, bn) < 0;
}

// Heap sort of line offsets by name: n log n at worst, and small.
void SortByName(const char* data, size_t size, uint32_t* v, size_t n) {
    auto sift = [&](size_t root, size_t end) {
        for (size_t child; (child = 2 * root + 1) < end; root = child) {
            if (child + 1 < end && NameBefore(data, size, v[child], v[child + 1])) ++child;
            if (!NameBefore(data, size, v[root], v[child])) return;
            uint32_t t = v[root];
            v[root] = v[child];
            v[child] = t;
        }
    };
    for (size_t i = n / 2; i-- > 0;) sift(i, n);
    for (size_t end = n; end > 1; --end) {
        uint32_t t = v[0];
        v[0] = v[end - 1];
        v[end - 1] = t;
        sift(0, end - 1);
    }
}

unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? (unsigned char)(c - 'a' + 'A') : c; }

}  // namespace

int CompareSealNames(const char* a, size_t aLength, const char* b, size_t bLength) {
    size_t i = 0;
    for (; i < aLength && i < bLength; ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (IsLeadByte(x) && x == y && i + 1 < aLength && i + 1 < bLength) {
            ++i;  // the trail bytes compare as they are
            x = (unsigned char)a[i];
            y = (unsigned char)b[i];
        } else {
            x = FoldAscii(x);
            y = FoldAscii(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    return aLength == bLength ? 0 : (i < aLength ? 1 : -1);
}

SealIndex::SealIndex(const char* data, size_t size, uint32_t* offsets, size_t capacity)
    : reader_(data, size), offsets_(offsets) {
    if (size > UINT32_MAX || !reader_.Check() || reader_.count() > capacity) return;
    SealEntry entry;
    for (size_t at = reader_.offset(); reader_.Next(&entry); at = reader_.offset()) offsets_[count_++] = (uint32_t)at;
    SortByName(reader_.data(), reader_.size(), offsets_, count_);
    ok_ = true;
}

bool SealIndex::Find(const char* name, SealEntry* entry) {
    if (!ok_) return false;
    size_t length = strlen(name), low = 0, high = count_;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        const char* at;
        size_t n;
        NameAt(reader_.data(), reader_.size(), offsets_[middle], &at, &n);
        int order = CompareSealNames(at, n, name, length);
        if (order == 0) {
            reader_.Seek(offsets_[middle]);
            return reader_.Next(entry);
        }
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return false;
}

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
