#include "tool/check_rules.h"
#include <string.h>
#include <vector>
#include "base/text.h"
#include "draw/bmp_layout.h"
#include "tool/vocabulary.h"

namespace {

uint32_t U32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
uint16_t U16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

std::string Nearest(const std::string& word, const std::vector<const char*>& candidates, int allowed) {
    std::string best;
    int bestDistance = allowed + 1;
    for (const char* c : candidates) {
        int d = NameDistance(word, c, allowed);
        if (d == 0) return "";
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

}  // namespace

char MisplacedCopyPrefix(const char* path) {
    const char c = path[0];
    return c == '!' || c == '&' || c == '?' || c == '*' ? c : 0;
}

std::string TokenRunningOn(const char* text, bool commandLine) {
    static const char* const kTokens[] = {"system", "windows", "desktop", "programs", "root"};
    if (!commandLine && text[0] != '%') return "";
    for (const char* p = text; *p; p += IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1) {
        if (*p != '%') continue;
        for (const char* token : kTokens) {
            size_t n = strlen(token);
            if (!StartsWithAsciiNoCase(p + 1, token) || p[1 + n] != '%') continue;
            if (!commandLine && strcmp(token, "root") == 0) continue;
            char next = p[2 + n];
            bool separated = next == 0 || next == '\\' || (commandLine && (next == '"' || next == ' ' || next == '\t'));
            if (!separated) return token;
        }
        if (!commandLine) break;  // a path's only token stands at its start
    }
    return "";
}

std::string BmpRejection(const uint8_t* head, size_t headSize, uint64_t fileSize) {
    BmpLayout layout;
    if (ParseBmpLayout(head, headSize, fileSize, &layout)) return "";
    if (headSize < kBmpHeadersSize || fileSize < kBmpHeadersSize) return "too short for a BMP file";
    if (fileSize > kMaxImageFileBytes) return "larger than 512 MiB";
    if (head[0] != 'B' || head[1] != 'M') return "not a BMP file";
    const uint8_t* info = head + kBmpFileHeaderSize;
    const uint32_t infoSize = U32(info);
    const int32_t height = (int32_t)U32(info + 8);
    const uint16_t bits = U16(info + 14);
    if (infoSize != kBmpInfoHeaderSize)
        return "an information header of " + std::to_string(infoSize) + " bytes (only the 40-byte one is read)";
    if (U32(info + 16) != 0) return "compressed";
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return std::to_string(bits) + " bits per pixel (1, 4, 8 and 24 are drawn)";
    if (height < 0) return "stored top-down";
    if ((int32_t)U32(info + 4) <= 0 || height == 0) return "no pixels";
    return "the colour table is not complete or the pixel rows do not follow it inside the file";
}

std::string SuggestDrawKeyword(const std::string& keyword, bool readmePage) {
    std::vector<const char*> words = {"mode", "page", "rect", "gradation", "fill", "height",
                                      "font", "meta", "bitmap", "text", "string"};
    if (readmePage) words.insert(words.end(), {"button1", "button2", "button3"});
    return Nearest(keyword, words, keyword.size() <= 4 ? 1 : 2);
}

std::string SuggestModeWord(const std::string& word) {
    return Nearest(word, {"point", "left", "top", "right", "bottom", "center", "rect"}, word.size() <= 4 ? 1 : 2);
}

std::string SuggestRootName(const std::string& name) {
    if (EqualsAsciiNoCase(name.c_str(), "HKLM") || EqualsAsciiNoCase(name.c_str(), "HKEY_LOCAL_MACHINE")) return "";
    static const char* const kShort[][2] = {{"HKCR", "HKEY_CLASSES_ROOT"}, {"HKCC", "HKEY_CURRENT_CONFIG"},
                                            {"HKCU", "HKEY_CURRENT_USER"}, {"HKU", "HKEY_USERS"}};
    for (const auto& s : kShort)
        if (EqualsAsciiNoCase(name.c_str(), s[0])) return s[1];
    return Nearest(name, {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER", "HKEY_USERS",
                          "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA", "HKEY_LOCAL_MACHINE"}, 3);
}

size_t EndOfLineComment(const char* value, bool quotesProtect) {
    bool quoted = false, afterBlank = false;
    for (const char* p = value; *p; p += IsLeadByte((unsigned char)*p) && p[1] ? 2 : 1) {
        if (*p == '"') quoted = !quoted;
        if (*p == ';' && afterBlank && !(quotesProtect && quoted)) return (size_t)(p - value);
        afterBlank = *p == ' ' || *p == '\t';
    }
    return std::string::npos;
}

bool IsDrawTextLine(const char* line) { return line[0] == '|' || StartsWithAsciiNoCase(line, "string,"); }

std::string ShortText(const std::string& text, size_t max) {
    if (text.size() <= max) return text;
    size_t end = 0;
    while (end < text.size()) {
        size_t step = IsLeadByte((unsigned char)text[end]) && end + 1 < text.size() ? 2 : 1;
        if (end + step > max) break;
        end += step;
    }
    return text.substr(0, end) + "...";
}

std::string QuotedCommandValue(const char* program, const char* arguments) {
    std::string args = arguments;
    if (args == "%1") args = "\"%1\"";
    std::string value = "\"" + std::string(program) + "\"" + (args.empty() ? "" : " " + args);
    if (value.back() == '"') value = "\"" + value + "\"";
    return value;
}

std::string OwnTypeName(const char* productName, const char* ext) {
    auto letters = [](const char* text) {
        std::string out;
        for (const char* p = text; *p; ++p) {
            if (IsLeadByte((unsigned char)*p) && p[1]) {
                ++p;  // a double-byte character: its trail byte is no letter
                continue;
            }
            if ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9')) out += *p;
        }
        return out;
    };
    std::string product = letters(productName), kind = letters(ext);
    return product.empty() || kind.empty() ? "" : product + "." + kind;
}
