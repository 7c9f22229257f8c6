#include "ui/readme_pages.h"
#include <string.h>
#include "base/text.h"
#include "draw/draw_parse.h"

// Commas are searched byte by byte: 0x2C is never the trail byte of a double-byte
// character, so a comma byte is always a comma.

namespace {

const struct {
    const char* word;
    int32_t value;
} kPageWords[] = {
    {"install", kPageInstall},
    {"versionup", kPageVersionUp},
    {"uninstall", kPageUninstall},
    {"none", kPageNone},
};

// Whether line begins with keyword (without case) directly followed by a comma or its
// end; rest points after the comma, or is null for the keyword alone.
bool HasKeyword(const char* line, const char* keyword, const char** rest) {
    if (!line || !StartsWithAsciiNoCase(line, keyword)) return false;
    const char* after = line + strlen(keyword);
    if (*after == ',') {
        *rest = after + 1;
        return true;
    }
    if (*after == 0) {
        *rest = nullptr;
        return true;
    }
    return false;
}

}  // namespace

int32_t ParsePageIdentifier(const char* text) {
    if (!text) return 0;
    for (const auto& w : kPageWords)
        if (EqualsAsciiNoCase(text, w.word)) return w.value;
    return ReadInteger(text);
}

int32_t ParseButtonTarget(const char* field) {
    if (!field) return 0;
    for (const auto& w : kPageWords)
        if (StartsWithAsciiNoCase(field, w.word)) return w.value;
    return ReadInteger(field);
}

bool IsPageLine(const char* line, int32_t* identifier) {
    const char* rest = nullptr;
    if (!HasKeyword(line, "page", &rest)) return false;
    if (identifier) *identifier = rest ? ParsePageIdentifier(rest) : 0;
    return true;
}

bool ParseButtonLine(const char* line, ButtonLine* out) {
    static const char* const kKeywords[kReadmeButtons] = {"button1", "button2", "button3"};
    for (int b = 0; b < kReadmeButtons; ++b) {
        const char* rest = nullptr;
        if (!HasKeyword(line, kKeywords[b], &rest)) continue;
        if (!rest) return false;  // the keyword alone names no target
        out->button = b;
        out->target = ParseButtonTarget(rest);
        const char* comma = strchr(rest, ',');
        out->caption = comma ? comma + 1 : nullptr;
        return true;
    }
    return false;
}

int FindPageStart(const char* const* lines, int count, int32_t identifier) {
    for (int i = 0; i < count; ++i) {
        int32_t id = 0;
        if (IsPageLine(lines[i], &id) && id == identifier) return i + 1;
    }
    return count < 1 ? count : 1;
}

int FindPageEnd(const char* const* lines, int count, int start) {
    int i = start < 0 ? 0 : start;
    while (i < count && !IsPageLine(lines[i], nullptr)) ++i;
    return i < count ? i : count;
}

PageButtons ReadPageButtons(const char* const* lines, int start, int end) {
    PageButtons page;
    for (int b = 0; b < kReadmeButtons; ++b) {
        page.target[b] = kPageNone;
        page.caption[b] = nullptr;
    }
    for (int i = start < 0 ? 0 : start; i < end; ++i) {
        ButtonLine line;
        if (!ParseButtonLine(lines[i], &line)) continue;
        page.target[line.button] = line.target;
        if (line.caption) page.caption[line.button] = line.caption;
    }
    return page;
}

ScreenRect FitOnDesktop(const ScreenRect& window, const ScreenRect& desktop) {
    ScreenRect r = window;
    if ((int64_t)window.right - window.left > (int64_t)desktop.right - desktop.left) {
        r.left = desktop.left;
        r.right = desktop.right;
    }
    if ((int64_t)window.bottom - window.top > (int64_t)desktop.bottom - desktop.top) {
        r.top = desktop.top;
        r.bottom = desktop.bottom;
    }
    return r;
}

size_t ToTextBoxText(const char* text, char* out, size_t cap) {
    if (!out || cap == 0) return 0;
    size_t n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p;) {
        char piece[2];
        size_t len = 0, step = 1;
        if (*p == '\r' || *p == '\n') {
            piece[0] = '\r';
            piece[1] = '\n';
            len = 2;
            if (p[0] == '\r' && p[1] == '\n') step = 2;
        } else if (IsLeadByte(*p)) {
            if (!p[1]) break;  // half a character at the very end
            piece[0] = (char)p[0];
            piece[1] = (char)p[1];
            len = step = 2;
        } else {
            piece[0] = (char)p[0];
            len = 1;
        }
        if (n + len > cap - 1) break;
        for (size_t i = 0; i < len; ++i) out[n++] = piece[i];
        p += step;
    }
    out[n] = 0;
    return n;
}
