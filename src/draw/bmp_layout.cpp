#include "draw/bmp_layout.h"

static uint32_t U32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
static uint16_t U16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

bool ParseBmpLayout(const uint8_t* head, size_t headSize, uint64_t fileSize, BmpLayout* out) {
    if (!head || !out || headSize < kBmpHeadersSize || fileSize < kBmpHeadersSize ||
        fileSize > kMaxImageFileBytes)
        return false;
    // The file type and the header's own file size are not relied on: the real size
    // decides what can be read.
    const uint32_t pixelOffset = U32(head + 10);
    const uint8_t* info = head + kBmpFileHeaderSize;
    const uint32_t infoSize = U32(info);
    const int32_t width = (int32_t)U32(info + 4);
    const int32_t height = (int32_t)U32(info + 8);
    const uint16_t planes = U16(info + 12);
    const uint16_t bits = U16(info + 14);
    const uint32_t compression = U32(info + 16);
    if (infoSize != kBmpInfoHeaderSize || planes != 1 || compression != 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    if (width <= 0 || height <= 0) return false;  // top-down and empty images are refused
    const uint64_t tableBytes = bits <= 8 ? (uint64_t)4 << bits : 0;
    if (pixelOffset != kBmpHeadersSize + tableBytes) return false;
    const uint64_t rowBytes = ((uint64_t)width * bits + 31) / 32 * 4;
    const uint64_t pixelBytes = rowBytes * (uint64_t)height;  // below 2^31 * 2^31 * 3: no overflow
    if (pixelBytes > fileSize || pixelOffset + pixelBytes > fileSize) return false;
    out->width = width;
    out->height = height;
    out->bitsPerPixel = bits;
    out->tableBytes = (uint32_t)tableBytes;
    out->pixelOffset = pixelOffset;
    out->rowBytes = (uint32_t)rowBytes;
    out->pixelBytes = (uint32_t)pixelBytes;
    return true;
}
