// What an install created that did not exist before it: the record's [Created] section.
//
// A name alone never proves that a shortcut, a key or a file type is the product's: a
// careless script can name another program's. So each step writes down what it really
// created (kind0, kind1, ... under its own kind of fact), and before anything is removed,
// the step asks the record whether it was made by this product, and then checks that it
// still holds what was written. "Recorded=1" marks a record that keeps these facts; a
// record written before they were kept has none, and then the content check alone decides.
#pragma once
#include <stddef.h>
#include <string.h>
#include "base/growable_text.h"

constexpr char kCreatedSection[] = "Created";

class CreatedFacts {
public:
    enum class Source {
        NoRecord,  // no install record there: nothing was made by this product
        Older,     // a record from before the facts were kept: the content check decides
        Facts,     // the record lists what was made
    };
    // Reads [Created] of the file at recordPath once. A file that is not an install record
    // (no [CopiedFile] "Count") is no record; a null or empty path neither.
    explicit CreatedFacts(const char* recordPath);
    CreatedFacts(const CreatedFacts&) = delete;
    CreatedFacts& operator=(const CreatedFacts&) = delete;

    Source source() const { return source_; }
    const char* path() const { return path_; }
    // Whether value is one of the kind's facts (kind0, kind1, ...), without regard to case.
    bool Holds(const char* kind, const char* value) const;
    // Whether the record allows value to count as made by this product: listed, or, in an
    // older record, not excluded (the caller's content check then decides). Never without
    // a record.
    bool MayOwn(const char* kind, const char* value) const;
    // Calls visit(value) for every fact of the kind.
    template <typename Visit>
    void ForEach(const char* kind, Visit visit) const;

private:
    static const char* FactValue(const char* line, const char* kind);
    char path_[260] = "";
    Source source_ = Source::NoRecord;
    GrowableText lines_;  // "key=value", each zero-terminated
};

// The facts of one kind that a step collects while it works, written together.
class CreatedList {
public:
    explicit CreatedList(const char* kind);
    CreatedList(const CreatedList&) = delete;
    CreatedList& operator=(const CreatedList&) = delete;
    void Add(const char* value);  // once each, compared without regard to case
    int size() const { return count_; }
    // Replaces the kind's facts in the script's [Created] section by this list (one whole
    // section write); the section's other lines stay.
    void Write(const char* scriptPath) const;

private:
    char kind_[32];
    GrowableText values_;  // zero-separated
    int count_ = 0;
};

// An install run on a setup script begins its facts afresh: whatever a shipped script
// claims there is not what this install made.
void StartCreatedFacts(const char* scriptPath);

// ---- implementation of the template ---------------------------------------------
template <typename Visit>
void CreatedFacts::ForEach(const char* kind, Visit visit) const {
    for (const char* line = lines_.data(); line && *line; line += strlen(line) + 1) {
        const char* value = FactValue(line, kind);
        if (value && *value) visit(value);
    }
}
