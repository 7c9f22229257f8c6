#include "base/growable_text.h"
#include <string.h>

GrowableText::~GrowableText() {
    if (data_) HeapFree(GetProcessHeap(), 0, data_);
}

void GrowableText::Release() {
    if (data_) HeapFree(GetProcessHeap(), 0, data_);
    data_ = nullptr;
    size_ = cap_ = 0;
}

bool GrowableText::Reserve(size_t n) {
    if (n <= cap_) return true;
    size_t cap = cap_ ? cap_ : 1024;
    while (cap < n) cap *= 2;
    void* block = data_ ? HeapReAlloc(GetProcessHeap(), 0, data_, cap) : HeapAlloc(GetProcessHeap(), 0, cap);
    if (!block) return false;
    data_ = static_cast<char*>(block);
    cap_ = cap;
    return true;
}

bool GrowableText::Append(const char* bytes, size_t n) {
    if (!Reserve(size_ + n + 2)) return false;
    memcpy(data_ + size_, bytes, n);
    size_ += n;
    data_[size_] = 0;  // keeps the text double-zero terminated
    data_[size_ + 1] = 0;
    return true;
}
