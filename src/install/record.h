// Writing the install record's numbered lists in batches.
//
// Every profile write rewrites the whole file, so a list of thousands of entries
// written key by key costs time in proportion to the square of its length. The
// list is kept in memory and its section written whole every few hundred entries,
// which leaves the same file content and keeps an interrupted install recorded.
#pragma once
#include <windows.h>
#include <stddef.h>

class GrowableText {
public:
    GrowableText() = default;
    ~GrowableText();
    GrowableText(const GrowableText&) = delete;
    GrowableText& operator=(const GrowableText&) = delete;
    bool Append(const char* bytes, size_t n);  // false when memory ran out
    bool Reserve(size_t n);
    char* data() const { return data_; }
    size_t size() const { return size_; }
    void Clear() { size_ = 0; }
    // Takes n bytes written directly into data() (n below the reserved size).
    void TakeWritten(size_t n) { size_ = n; }

private:
    char* data_ = nullptr;
    size_t size_ = 0, cap_ = 0;
};

// Reads a whole profile section ("key=value" lines, each zero-terminated).
bool ReadSection(const char* section, const char* path, GrowableText& out);

// Calls visit(number, value) for every line whose key is a decimal number.
template <typename Visit>
void ForEachNumberedLine(const GrowableText& sectionText, Visit visit);

class RecordList {
public:
    // keepExisting: continue the list already in the file (numbered keys kept, the
    // next number from its "Count"); otherwise the run's own list starts at 0.
    RecordList(const char* section, const char* path, bool keepExisting, bool countOnEveryWrite);
    ~RecordList() { Write(); }
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    void Set(int number, const char* value);  // records key number = value
    void Add(const char* value) { Set(next_, value); }
    int Next() const { return next_; }
    // Writes the pending entries (and "Count" when asked) and flushes the profile cache.
    void Write();
    void WriteCount(int count);

private:
    char section_[64];
    char path_[MAX_PATH];
    GrowableText text_;
    int next_ = 0;
    int pending_ = 0;
    int count_ = -1;  // -1: no "Count" line to write
    bool countOnEveryWrite_;
};

// A set of paths compared without regard to case.
class PathSet {
public:
    PathSet() = default;
    ~PathSet();
    PathSet(const PathSet&) = delete;
    PathSet& operator=(const PathSet&) = delete;
    bool Contains(const char* path) const;
    bool Insert(const char* path);  // false when memory ran out

private:
    static unsigned Hash(const char* path);
    const char* At(size_t slot) const { return store_.data() + slots_[slot] - 1; }
    size_t Find(const char* path, unsigned hash) const;
    bool Grow();
    size_t* slots_ = nullptr;  // offset + 1 into store_, 0 = free
    GrowableText store_;
    size_t capacity_ = 0, used_ = 0;
};

#include <stdlib.h>
#include <string.h>
template <typename Visit>
void ForEachNumberedLine(const GrowableText& sectionText, Visit visit) {
    const char* p = sectionText.data();
    const char* end = p + sectionText.size();
    while (p && p < end && *p) {
        const char* line = p;
        size_t len = strlen(line);
        p += len + 1;
        const char* eq = strchr(line, '=');
        if (!eq || eq == line) continue;
        bool numeric = true;
        for (const char* c = line; c < eq; ++c)
            if (*c < '0' || *c > '9') numeric = false;
        if (!numeric || eq - line > 9) continue;
        visit(atoi(line), eq + 1);
    }
}
