// A 24-bit bottom-up BMP file as SetupTool's preview writes it, read back pixel by pixel.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string.h>
#include <string>
#include "stage.h"

struct BmpFile {
    int w = 0, h = 0;  // both 0 when the file is not such a picture
    std::string bytes;
    explicit BmpFile(const std::string& path) : bytes(stage::ReadFile(path)) {
        if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M' || bytes[28] != 24) return;
        int32_t width, height;
        memcpy(&width, &bytes[18], 4);
        memcpy(&height, &bytes[22], 4);
        if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return;
        if ((size_t)54 + Stride(width) * (size_t)height != bytes.size()) return;
        w = width;
        h = height;
    }
    COLORREF At(int x, int y) const {
        size_t at = 54 + (size_t)(h - 1 - y) * Stride(w) + (size_t)x * 3;
        return RGB((unsigned char)bytes[at + 2], (unsigned char)bytes[at + 1], (unsigned char)bytes[at]);
    }

private:
    static size_t Stride(int width) { return ((size_t)width * 3 + 3) & ~(size_t)3; }
};
