// Writing the install record's numbered lists in batches.
//
// Every profile write rewrites the whole file, so a list of thousands of entries
// written key by key costs time in proportion to the square of its length. The
// list is kept in memory and its section written whole, with its "Count", only when
// asked: the copy step writes each batch's entries ahead of copying them
// (WriteAhead), so that an install ended at any moment leaves a readable record of
// every file it copied, and the final write leaves exactly what key-by-key writes would.
#pragma once
#include <windows.h>
#include <stddef.h>
#include "script/section.h"

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
    // Writes the list followed by the n values given, numbered after it, with a "Count"
    // that covers them: entries for files about to be copied. They stay out of the
    // list itself; what is then really copied is added as usual.
    void WriteAhead(const char* const* values, int n);

private:
    char section_[64];
    char path_[MAX_PATH];
    GrowableText text_;
    int next_ = 0;
    int pending_ = 0;
    int count_ = -1;  // -1: no "Count" line to write
    bool countOnEveryWrite_;
    void WriteSection(const GrowableText& whole);
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

