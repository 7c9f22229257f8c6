// SHA-256 (FIPS 180-4) in plain code: every system the program runs on has it, the 9x
// family included, whose system libraries offer none.
//
// Pure code without a Windows header, so that it can be tested and fuzzed on any host.
#pragma once
#include <stddef.h>
#include <stdint.h>

class Sha256 {
public:
    // Whether the processor's SHA instructions may be used where it has them (off until
    // a program says so: the 9x family and NT 4 do not keep the registers they need; the
    // 32-bit build never uses them). Returns whether they are in use now.
    static bool UseProcessorInstructions(bool allowed);

    Sha256();
    void Add(const void* data, size_t size);
    // The digest of everything added; the object is then spent.
    void Finish(uint8_t digest[32]);

private:
    void Block(const uint8_t* block);

    uint32_t state_[8];
    uint64_t length_ = 0;  // bytes added
    uint8_t buffer_[64];
    size_t used_ = 0;
};

// The digest as 64 lower-case hexadecimal digits and a terminator (65 bytes).
void Sha256Hex(const uint8_t digest[32], char* hex);
