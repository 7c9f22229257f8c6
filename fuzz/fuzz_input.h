// Splitting a fuzzer's bytes into the pieces a target needs: small numbers first, then
// zero-separated texts, each copied into a heap block of exactly its size so that the
// address sanitizer sees any read or write past it.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <memory>
#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t Number(uint32_t limit) {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return limit ? v % limit : v;
    }
    // The next text up to a zero byte (or the end), without the zero.
    std::string Text() {
        size_t start = pos_;
        while (pos_ < size_ && data_[pos_]) ++pos_;
        std::string out(reinterpret_cast<const char*>(data_ + start), pos_ - start);
        if (pos_ < size_) ++pos_;
        return out;
    }
    const uint8_t* Rest(size_t* n) {
        *n = size_ - pos_;
        return data_ + pos_;
    }

private:
    const uint8_t* data_;
    size_t size_, pos_ = 0;
};

// A terminated copy of text in a block of exactly its length plus one.
inline std::unique_ptr<char[]> Exact(const std::string& text) {
    std::unique_ptr<char[]> block(new char[text.size() + 1]);
    memcpy(block.get(), text.c_str(), text.size() + 1);
    return block;
}
