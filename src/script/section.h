// Whole profile sections read in one call.
//
// Under Wine every profile read after a write re-reads the whole file, so reading a
// list of thousands of keys one by one costs time in proportion to the square of its
// length. Lists are therefore read as one section and looked up in memory, with the
// same results a key-by-key read would give.
#pragma once
#include <windows.h>
#include <stddef.h>
#include "base/growable_text.h"

// Reads a whole section as "key=value" lines, each zero-terminated, without blanks
// around the key or the value whatever the platform hands over.
bool ReadSection(const char* section, const char* path, GrowableText& out);

// The keys "0", "1", ... of one section, as a key-by-key read would see them:
// first occurrence wins, surrounding quotes stripped, empty values absent.
class SectionIndex {
public:
    SectionIndex(const char* section, const char* path);
    ~SectionIndex();
    SectionIndex(const SectionIndex&) = delete;
    SectionIndex& operator=(const SectionIndex&) = delete;
    // The value of key number, or null when it is missing or empty.
    const char* Get(int number) const;
    // One more than the highest numbered key: walks need not go beyond it, whatever a
    // "Count" claims.
    int Size() const { return count_; }

private:
    GrowableText text_;
    const char** values_ = nullptr;
    int count_ = 0;
};
