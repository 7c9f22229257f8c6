#include "shell/shortcut_text.h"
#include <string.h>
#include "base/text.h"

namespace {

constexpr uint16_t kCtrlAltModifiers = (2 | 4) << 8;  // HOTKEYF_CONTROL | HOTKEYF_ALT

// The next part of a name at or after p: skips separators, sets *length.
// Null when no part is left. Trail bytes of double-byte characters are never separators.
const char* NextPart(const char* p, size_t* length) {
    while (*p == '\\') ++p;
    if (!*p) return nullptr;
    const char* end = FindFirstChar(p, '\\');
    *length = end ? (size_t)(end - p) : strlen(p);
    return p;
}

// Whether the text ends in a backslash character; a trail byte 0x5C is none.
bool EndsWithSeparator(const char* text) {
    size_t length = strlen(text);
    return length > 0 && FindLastBackslash(text) == text + length - 1;
}

bool OnlyDotsAndBlanks(const char* part, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (part[i] != '.' && part[i] != ' ') return false;
    return true;
}

}  // namespace

int ShowCommandFromValue(int show) {
    switch (show) {
    case 1: return kShowMaximized;
    case 2: return kShowMinNoActive;
    default: return kShowNormal;
    }
}

bool HotkeyFromText(const char* text, uint16_t* hotkey) {
    *hotkey = 0;
    if (!text || !text[0]) return false;
    uint16_t word;
    if (text[0] == '\\' && text[1] >= '0' && text[1] <= '9') {
        word = 0;  // a 16-bit word keeps the low bits of any longer number
        for (const char* p = text + 1; *p >= '0' && *p <= '9'; ++p) word = (uint16_t)(word * 10 + (*p - '0'));
    } else {
        unsigned char first = (unsigned char)text[0];
        // The key codes of lower-case letters are the numeric pad's and F1..F11.
        if (first >= 'a' && first <= 'z') first = (unsigned char)(first - 'a' + 'A');
        word = first;
    }
    *hotkey = (uint16_t)(word | kCtrlAltModifiers);
    return true;
}

bool IsUsableLinkName(const char* name) {
    if (!name || FindFirstChar(name, ':') || FindFirstChar(name, '/')) return false;
    size_t length = 0;
    const char* p = NextPart(name, &length);
    if (!p) return false;
    for (; p; p = NextPart(p + length, &length))
        if (OnlyDotsAndBlanks(p, length)) return false;
    return !EndsWithSeparator(name);  // "Help\" names no link
}

int LinkFolderDepth(const char* name) {
    int parts = 0;
    size_t length = 0;
    for (const char* p = NextPart(name, &length); p; p = NextPart(p + length, &length)) ++parts;
    return parts > 1 ? parts - 1 : 0;
}

bool JoinNameParts(char* out, size_t cap, const char* base, const char* name, int parts) {
    if (!CopyBounded(out, cap, base)) return false;
    size_t length = 0;
    const char* p = NextPart(name, &length);
    for (int i = 0; p && i < parts; ++i, p = NextPart(p + length, &length)) {
        if (out[0] && !EndsWithSeparator(out) && !AppendBounded(out, cap, "\\")) return false;
        if (!AppendBoundedN(out, cap, p, length)) return false;
    }
    return true;
}

bool BuildLinkPath(char* out, size_t cap, const char* base, const char* name) {
    bool built = IsUsableLinkName(name) && JoinNameParts(out, cap, base, name, LinkFolderDepth(name) + 1) &&
                 AppendBounded(out, cap, ".lnk");
    if (!built && cap) out[0] = 0;
    return built;
}
