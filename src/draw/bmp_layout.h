// Validation of a BMP file's headers over plain bytes, before anything is
// allocated or read from it. No Windows header: it can be fuzzed on any host.
#pragma once
#include <stddef.h>
#include <stdint.h>

constexpr size_t kBmpFileHeaderSize = 14;
constexpr size_t kBmpInfoHeaderSize = 40;
constexpr size_t kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;
// Larger image files are not read at all.
constexpr uint64_t kMaxImageFileBytes = 512u << 20;

// Where the parts of an accepted image lie in its file.
struct BmpLayout {
    int32_t width, height;      // both at least 1; rows stored bottom-up
    uint16_t bitsPerPixel;      // 1, 4, 8 or 24
    uint32_t tableBytes;        // the full colour table, right after the information header
    uint32_t pixelOffset;       // where the rows start: the headers and the table
    uint32_t rowBytes;          // one row padded to 4 bytes
    uint32_t pixelBytes;        // every row; pixelOffset + pixelBytes <= the file's size
};

// head holds the first headSize bytes of a file of fileSize bytes (only the first 54
// are looked at). Accepts uncompressed, bottom-up images of 1, 4, 8 or 24 bits per
// pixel with a 40-byte information header, the full colour table, the rows right
// after it and all of them inside the file; false for anything else.
bool ParseBmpLayout(const uint8_t* head, size_t headSize, uint64_t fileSize, BmpLayout* out);
