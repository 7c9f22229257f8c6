#include "script/section.h"
#include "script/section_parse.h"
#include <string.h>

bool ReadSection(const char* section, const char* path, GrowableText& out) {
    out.Clear();
    for (size_t cap = 32768; cap <= (256u << 20); cap *= 4) {
        if (!out.Reserve(cap)) return false;
        DWORD n = GetPrivateProfileSectionA(section, out.data(), (DWORD)cap, path);
        if (n < cap - 2) {  // cap - 2 means the section did not fit
            out.data()[n] = 0;
            out.data()[n + 1] = 0;
            n = (DWORD)TrimSectionLines(out.data());
            out.data()[n + 1] = 0;
            out.TakeWritten(n);
            return true;
        }
    }
    return false;
}

SectionIndex::SectionIndex(const char* section, const char* path) {
    if (!ReadSection(section, path, text_) || !text_.data()) return;
    int highest = HighestListNumber(text_.data());
    if (highest < 0) return;
    values_ = static_cast<const char**>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (size_t)(highest + 1) * sizeof(const char*)));
    if (!values_) return;
    count_ = highest + 1;
    IndexListValues(text_.data(), values_, count_);
}

SectionIndex::~SectionIndex() {
    if (values_) HeapFree(GetProcessHeap(), 0, values_);
}

const char* SectionIndex::Get(int number) const {
    if (number < 0 || number >= count_ || !values_[number] || !values_[number][0]) return nullptr;
    return values_[number];
}
