// A heap text that grows as bytes are appended; always double-zero terminated.
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
    // Gives the memory back; the text is empty afterwards.
    void Release();
    // Takes n bytes written directly into data() (n below the reserved size).
    void TakeWritten(size_t n) { size_ = n; }

private:
    char* data_ = nullptr;
    size_t size_ = 0, cap_ = 0;
};
