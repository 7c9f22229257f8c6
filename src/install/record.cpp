#include "install/record.h"
#include <stdlib.h>
#include <string.h>
#include "script/script.h"
#include "script/section_parse.h"
#include "base/text.h"

RecordList::RecordList(const char* section, const char* path, bool keepExisting, bool countOnEveryWrite)
    : countOnEveryWrite_(countOnEveryWrite) {
    CopyBounded(section_, sizeof section_, section);
    CopyBounded(path_, sizeof path_, path);
    int count = keepExisting ? ReadCount(section, path) : 0;
    GrowableText existing;
    if (!ReadSection(section, path, existing)) return;
    // A "Count" no writer makes (beyond any list number, such as 2^31 - 1) continues after
    // the last entry present instead of running into the end of the numbers.
    if (count > (1 << 20)) count = (existing.data() ? HighestListNumber(existing.data()) : -1) + 1;
    if (count < 0) count = 0;
    // Keep what else the section holds; the list itself is rewritten by this run.
    const char* p = existing.data();
    while (p && *p) {
        size_t len = strlen(p);
        const char* eq = strchr(p, '=');
        size_t keyLen = eq ? (size_t)(eq - p) : len;
        int number = ListKeyNumber(p, keyLen);
        bool isCount = keyLen == 5 && _strnicmp(p, "Count", 5) == 0;
        // A continued list keeps its entries below "Count"; stale numbers above it would
        // shadow the entries appended now.
        bool keep = number < 0 || (keepExisting && number < count);
        if (!isCount && keep) text_.Append(p, len + 1);
        p += len + 1;
    }
    if (keepExisting) {
        next_ = count;
        count_ = count;
    }
}

void RecordList::Set(int number, const char* value) {
    char line[MAX_PATH + 24];
    FormatBounded(line, sizeof line, "%d=%s", number, value);
    text_.Append(line, strlen(line) + 1);
    if (number >= next_) next_ = number + 1;
    if (countOnEveryWrite_) count_ = next_;
    ++pending_;
}

void RecordList::WriteCount(int count) {
    count_ = count;
    pending_ = 1;
    Write();
}

void RecordList::Write() {
    if (pending_ == 0) return;
    pending_ = 0;
    GrowableText whole;
    whole.Append(text_.data() ? text_.data() : "", text_.size());
    if (count_ >= 0) {
        char line[32];
        FormatBounded(line, sizeof line, "Count=%d", count_);
        whole.Append(line, strlen(line) + 1);
    }
    WriteSection(whole);
}

void RecordList::WriteAhead(const char* const* values, int n) {
    if (n <= 0) return;
    GrowableText whole;
    whole.Append(text_.data() ? text_.data() : "", text_.size());
    char line[MAX_PATH + 24];
    for (int i = 0; i < n; ++i) {
        FormatBounded(line, sizeof line, "%d=%s", next_ + i, values[i]);
        whole.Append(line, strlen(line) + 1);
    }
    FormatBounded(line, sizeof line, "Count=%d", next_ + n);
    whole.Append(line, strlen(line) + 1);
    WriteSection(whole);
    // The list on disk now counts; whatever writes it next keeps a "Count".
    countOnEveryWrite_ = true;
    if (count_ < next_) count_ = next_;
    pending_ = 1;  // the list itself still differs from what is on disk
}

void RecordList::WriteSection(const GrowableText& whole) {
    WritePrivateProfileSectionA(section_, whole.data() ? whole.data() : "\0", path_);
    FlushScript(path_);
}

// ---- PathSet ------------------------------------------------------------------

PathSet::~PathSet() {
    if (slots_) HeapFree(GetProcessHeap(), 0, slots_);
}

unsigned PathSet::Hash(const char* path) {
    unsigned h = 2166136261u;
    for (const unsigned char* p = (const unsigned char*)path; *p; ++p) {
        unsigned char c = *p;
        if (c >= 'a' && c <= 'z') c = (unsigned char)(c - 'a' + 'A');
        h = (h ^ c) * 16777619u;
    }
    return h;
}

size_t PathSet::Find(const char* path, unsigned hash) const {
    size_t slot = hash & (capacity_ - 1);
    while (slots_[slot] && lstrcmpiA(At(slot), path) != 0) slot = (slot + 1) & (capacity_ - 1);
    return slot;
}

bool PathSet::Contains(const char* path) const {
    if (!capacity_) return false;
    return slots_[Find(path, Hash(path))] != 0;
}

bool PathSet::Grow() {
    size_t capacity = capacity_ ? capacity_ * 2 : 1024;
    size_t* slots = static_cast<size_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof(size_t)));
    if (!slots) return false;
    size_t* old = slots_;
    size_t oldCapacity = capacity_;
    slots_ = slots;
    capacity_ = capacity;
    for (size_t i = 0; i < oldCapacity; ++i) {
        if (!old[i]) continue;
        size_t slot = Hash(store_.data() + old[i] - 1) & (capacity_ - 1);
        while (slots_[slot]) slot = (slot + 1) & (capacity_ - 1);
        slots_[slot] = old[i];
    }
    if (old) HeapFree(GetProcessHeap(), 0, old);
    return true;
}

bool PathSet::Insert(const char* path) {
    if ((used_ + 1) * 2 > capacity_ && !Grow()) return false;
    unsigned hash = Hash(path);
    size_t slot = Find(path, hash);
    if (slots_[slot]) return true;
    size_t offset = store_.size();
    if (!store_.Append(path, strlen(path) + 1)) return false;
    slots_[slot] = offset + 1;
    ++used_;
    return true;
}
