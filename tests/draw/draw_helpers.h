// Helpers of the drawing tests: a memory surface read back with GetPixel, BMP files
// built byte by byte, and the test folder.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <stdint.h>
#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include "draw/drawing.h"

namespace draw_test {

constexpr COLORREF kBackground = RGB(1, 2, 3);

inline std::string Hex(COLORREF c) {
    char text[32];
    snprintf(text, sizeof text, "(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// A memory device context with a 32-bit bitmap of w x h, filled with kBackground.
class Surface {
public:
    Surface(int w, int h) : w_(w), h_(h) {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        Clear(kBackground);
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC dc() const { return dc_; }
    int w() const { return w_; }
    int h() const { return h_; }
    RECT Area() const { return {0, 0, w_, h_}; }
    void Clear(COLORREF c) {
        HBRUSH brush = CreateSolidBrush(c);
        RECT r = Area();
        FillRect(dc_, &r, brush);
        DeleteObject(brush);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
    void Run(const std::vector<std::string>& commands, const char* base = "") const {
        std::vector<const char*> list;
        for (const std::string& c : commands) list.push_back(c.c_str());
        RunDrawingCommands(dc_, Area(), base, list.data(), (int)list.size());
    }
    // Every pixel whose colour differs from expected(x, y), as "x,y got (..) expected (..)",
    // the first few of them.
    std::string Mismatches(const std::function<COLORREF(int, int)>& expected) const {
        std::ostringstream out;
        int count = 0;
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                COLORREF want = expected(x, y), got = At(x, y);
                if (want == got) continue;
                if (count++ < 5) out << " " << x << "," << y << " got " << Hex(got) << " expected " << Hex(want) << ";";
            }
        }
        if (count) out << " " << count << " pixels differ";
        return out.str();
    }
    // The smallest rectangle holding every pixel of colour c (empty when none).
    RECT InkOf(COLORREF c) const {
        RECT r = {w_, h_, 0, 0};
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x)
                if (At(x, y) == c) {
                    r.left = x < r.left ? x : r.left;
                    r.top = y < r.top ? y : r.top;
                    r.right = x + 1 > r.right ? x + 1 : r.right;
                    r.bottom = y + 1 > r.bottom ? y + 1 : r.bottom;
                }
        if (r.right <= r.left) r = {0, 0, 0, 0};
        return r;
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

// A BMP file of w x h at bits per pixel, bottom-up; pixel(x, y) gives a colour table
// index (up to 8 bits per pixel) or the colour itself (24 bits).
struct Bmp {
    int w, h, bits;
    std::vector<COLORREF> table;
    std::function<uint32_t(int, int)> pixel;

    COLORREF ColourAt(int x, int y) const {
        uint32_t v = pixel(x, y);
        return bits <= 8 ? table[v] : (COLORREF)v;
    }
    std::string Bytes() const {
        const uint32_t tableBytes = bits <= 8 ? 4u << bits : 0;
        const uint32_t row = ((uint32_t)w * bits + 31) / 32 * 4;
        const uint32_t offset = 54 + tableBytes;
        std::string out(offset + row * h, '\0');
        auto put32 = [&out](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) out[at + i] = (char)(v >> (8 * i));
        };
        out[0] = 'B', out[1] = 'M';
        put32(2, (uint32_t)out.size());
        put32(10, offset);
        put32(14, 40);
        put32(18, (uint32_t)w);
        put32(22, (uint32_t)h);
        out[26] = 1;
        out[28] = (char)bits;
        for (size_t i = 0; i < table.size() && i < (tableBytes / 4); ++i) {
            out[54 + 4 * i] = (char)GetBValue(table[i]);
            out[55 + 4 * i] = (char)GetGValue(table[i]);
            out[56 + 4 * i] = (char)GetRValue(table[i]);
        }
        for (int y = 0; y < h; ++y) {
            size_t base = offset + (size_t)(h - 1 - y) * row;  // bottom-up
            for (int x = 0; x < w; ++x) {
                uint32_t v = pixel(x, y);
                if (bits == 24) {
                    out[base + 3 * x] = (char)GetBValue(v);
                    out[base + 3 * x + 1] = (char)GetGValue(v);
                    out[base + 3 * x + 2] = (char)GetRValue(v);
                } else {
                    size_t bit = (size_t)x * bits;
                    int shift = 8 - bits - (int)(bit % 8);
                    out[base + bit / 8] = (char)(out[base + bit / 8] | (v << shift));
                }
            }
        }
        return out;
    }
};

// An image of w x h at the given depth whose pixels differ from their neighbours.
inline Bmp PatternBmp(int w, int h, int bits) {
    Bmp b{w, h, bits, {}, nullptr};
    if (bits <= 8) {
        int n = 1 << bits;
        for (int i = 0; i < n; ++i) b.table.push_back(RGB(255 - i, (i * 37) & 0xFF, 40 + (i * 13) % 200));
        b.pixel = [n](int x, int y) { return (uint32_t)((x * 3 + y * 5 + 1) % n); };
    } else {
        b.pixel = [](int x, int y) { return (uint32_t)RGB(10 + x * 7, 20 + y * 11, 200 - x - y); };
    }
    return b;
}

// The group's working folder (the test main made it current).
inline std::string Here(const std::string& name = "") {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return name.empty() ? std::string(folder) : std::string(folder) + "\\" + name;
}

}  // namespace draw_test
