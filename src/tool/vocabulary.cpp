#include "tool/vocabulary.h"
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "base/text.h"

namespace {

constexpr size_t kText = 259;       // a 260-byte buffer
constexpr size_t kLongText = 1039;  // a 1040-byte buffer
constexpr size_t kName = 255;       // a 256-byte buffer
constexpr size_t kNumber = 0;

const KeyShape kSetup[] = {{"Name", kText}, {"Auto", kNumber}, {"Publisher", kText}, {"Version", kText}};
const KeyShape kRoot[] = {{"Name", kText}, {"Named", kText}};
const KeyShape kBack[] = {{"Do", kNumber}};
const KeyShape kCheck[] = {{"Menu", kNumber}, {"Desktop", kNumber}, {"Startup", kNumber}, {"Ext", kNumber},
                          {"Send", kNumber}, {"Copy", kNumber},    {"Del", kNumber},     {"IconNo", kNumber}};
const KeyShape kReadme[] = {{"File", kText}, {"No", kNumber}, {"Done", kNumber}};
const KeyShape kGo[] = {{"Agree", kNumber}};
const KeyShape kCopyFile[] = {{"Reboot", kNumber}, {"DefaultNo", kNumber}, {"Self", kText}};
const KeyShape kCounted[] = {{"Count", kNumber}};
const KeyShape kMenu[] = {{"Name", kText}, {"Named", kText}, {"Change", kText}, {"Open", kNumber}};
// Shortcut entries read their texts into long buffers; the paths are then held to 259
// bytes once expanded, which the checks of the entries see.
const KeyShape kShortcut[] = {{"Name", kText},     {"Show", kNumber},    {"Arg", kLongText - 1}, {"Path", kLongText},
                             {"Icon", kLongText}, {"IconNo", kNumber},  {"Work", kLongText}};
const KeyShape kFolderShortcut[] = {{"Name", kText},    {"Show", kNumber},   {"Arg", kLongText - 1},
                                   {"Path", kLongText}, {"Icon", kText},     {"IconNo", kNumber},
                                   {"Work", kLongText}, {"Short", kLongText}};
const KeyShape kExt[] = {{"Ext", kName},   {"Kind", kText},  {"Icon", kText},    {"IconNo", kText},
                        {"Verb", kName},  {"Verb2", kName}, {"Command", kText}, {"Force", kNumber}};
const KeyShape kRegistry[] = {{"Company", kText}, {"Name", kText}};
const KeyShape kDel[] = {{"Force", kNumber}, {"Reboot", kNumber}, {"ShowError", kNumber}, {"Auto", kNumber},
                        {"Checked", kNumber}};
const KeyShape kCreated[] = {{"Recorded", kNumber}};
const KeyShape kLastGo[] = {{"StartupAndGo", kNumber}, {"DesktopAndGo", kNumber}, {"Startup", kText}, {"Desktop", kText}};

#define KEYS(array) array, (int)(sizeof array / sizeof array[0])
const SectionShape kSections[] = {
    {"Setup", false, nullptr, KEYS(kSetup), ListShape::None, 0, 0},
    {"Root", false, nullptr, KEYS(kRoot), ListShape::None, 0, 0},
    {"Back", false, nullptr, KEYS(kBack), ListShape::Numbered, 0, kText},
    {"Check", false, nullptr, KEYS(kCheck), ListShape::None, 0, 0},
    {"Readme", false, nullptr, KEYS(kReadme), ListShape::ByCount, 0, kText},
    {"Go", false, nullptr, KEYS(kGo), ListShape::None, 0, 0},
    {"CopyFile", false, nullptr, KEYS(kCopyFile), ListShape::Numbered, 0, kText},
    {"MakeDirectory", false, nullptr, nullptr, 0, ListShape::Numbered, 1, kText},
    {"MakedDirectory", false, nullptr, KEYS(kCounted), ListShape::Counted, 0, kText},
    {"CopiedFile", false, nullptr, KEYS(kCounted), ListShape::Counted, 0, kText},
    {"Menu", false, nullptr, KEYS(kMenu), ListShape::None, 0, 0},
    {"Menu", true, "Name", KEYS(kShortcut), ListShape::None, 0, 0},
    {"Desktop", false, nullptr, KEYS(kFolderShortcut), ListShape::None, 0, 0},
    {"Startup", false, nullptr, KEYS(kFolderShortcut), ListShape::None, 0, 0},
    {"Send", true, "Name", KEYS(kShortcut), ListShape::None, 0, 0},
    {"Ext", true, "Ext", KEYS(kExt), ListShape::None, 0, 0},
    {"Reg", false, nullptr, nullptr, 0, ListShape::Prefixed, 0, kLongText},
    {"Registry", false, nullptr, KEYS(kRegistry), ListShape::None, 0, 0},
    {"Del", false, nullptr, KEYS(kDel), ListShape::Numbered, 0, kText},
    {"DirRemove", false, nullptr, nullptr, 0, ListShape::Numbered, 1, kText},
    {"Go2", false, nullptr, nullptr, 0, ListShape::Prefixed, 0, kLongText},
    {"LastGo", false, nullptr, KEYS(kLastGo), ListShape::Numbered, 0, kText},
    {"Created", false, nullptr, KEYS(kCreated), ListShape::Facts, 0, kText},
};
#undef KEYS

const char* const kPrefixes[] = {"Make", "Erase"};

char Fold(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// The nearest candidate within a distance that still reads as a slip of the pen.
std::string Nearest(const std::string& name, const std::vector<std::string>& candidates) {
    const int allowed = name.size() <= 4 ? 1 : name.size() <= 8 ? 2 : 3;
    std::string best;
    int bestDistance = allowed + 1;
    for (const std::string& c : candidates) {
        int d = NameDistance(name, c, allowed);
        if (d > 0 && d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

// The digits at the end of a name ("" when none).
std::string TrailingDigits(const std::string& name) {
    size_t i = name.size();
    while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
    return name.substr(i);
}

}  // namespace

int DecimalNumber(const std::string& text) {
    if (text.empty() || text.size() > 7 || (text.size() > 1 && text[0] == '0')) return -1;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

const SectionShape* FindSection(const std::string& name, int* number) {
    for (const SectionShape& s : kSections) {
        if (!s.family) {
            if (EqualsAsciiNoCase(name.c_str(), s.name)) return &s;
            continue;
        }
        size_t n = strlen(s.name);
        if (name.size() > n && StartsWithAsciiNoCase(name.c_str(), s.name)) {
            int k = DecimalNumber(name.substr(n));
            if (k >= 0) {
                if (number) *number = k;
                return &s;
            }
        }
    }
    return nullptr;
}

const KeyShape* FindKey(const SectionShape& section, const std::string& key) {
    for (int i = 0; i < section.keyCount; ++i)
        if (EqualsAsciiNoCase(key.c_str(), section.keys[i].name)) return &section.keys[i];
    return nullptr;
}

bool IsListKey(const SectionShape& section, const std::string& key, const char** prefix, int* number) {
    int n = -1;
    if (section.list == ListShape::Prefixed) {
        for (const char* p : kPrefixes) {
            size_t len = strlen(p);
            if (key.size() > len && StartsWithAsciiNoCase(key.c_str(), p) && (n = DecimalNumber(key.substr(len))) >= 0) {
                if (prefix) *prefix = p;
                break;
            }
        }
    } else if (section.list == ListShape::Facts) {
        const std::string digits = TrailingDigits(key);
        if (digits.size() < key.size()) n = DecimalNumber(digits);
    } else if (section.list != ListShape::None) {
        n = DecimalNumber(key);
        if (section.list == ListShape::Numbered && n < section.firstNumber) n = -1;
    }
    if (n < 0) return false;
    if (number) *number = n;
    return true;
}

int NameDistance(const std::string& a, const std::string& b, int limit) {
    const size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > (size_t)limit) return limit + 1;
    std::vector<int> d((n + 1) * (m + 1));
    auto at = [&](size_t i, size_t j) -> int& { return d[i * (m + 1) + j]; };
    for (size_t i = 0; i <= n; ++i) at(i, 0) = (int)i;
    for (size_t j = 0; j <= m; ++j) at(0, j) = (int)j;
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            int cost = Fold(a[i - 1]) == Fold(b[j - 1]) ? 0 : 1;
            int v = at(i - 1, j) + 1;
            if (at(i, j - 1) + 1 < v) v = at(i, j - 1) + 1;
            if (at(i - 1, j - 1) + cost < v) v = at(i - 1, j - 1) + cost;
            if (i > 1 && j > 1 && Fold(a[i - 1]) == Fold(b[j - 2]) && Fold(a[i - 2]) == Fold(b[j - 1]) &&
                at(i - 2, j - 2) + 1 < v)
                v = at(i - 2, j - 2) + 1;
            at(i, j) = v;
        }
    }
    return at(n, m) > limit ? limit + 1 : at(n, m);
}

std::string SuggestSection(const std::string& name) {
    std::vector<std::string> candidates;
    std::string digits = TrailingDigits(name);
    // A number written with a leading zero or a blank still names its family.
    int number = DecimalNumber(digits);
    if (number < 0 && !digits.empty()) number = (int)strtol(digits.c_str(), nullptr, 10) % 10000000;
    for (const SectionShape& s : kSections) {
        if (!s.family) {
            candidates.push_back(s.name);
        } else {
            candidates.push_back(std::string(s.name) + std::to_string(number < 0 ? 0 : number));
        }
    }
    return Nearest(name, candidates);
}

std::string SuggestKey(const SectionShape& section, const std::string& key) {
    std::vector<std::string> candidates;
    for (int i = 0; i < section.keyCount; ++i) candidates.push_back(section.keys[i].name);
    std::string digits = TrailingDigits(key);
    int number = DecimalNumber(digits);
    if (number < 0 && !digits.empty()) number = (int)strtol(digits.c_str(), nullptr, 10) % 10000000;
    if (section.list == ListShape::Prefixed) {
        for (const char* p : kPrefixes) candidates.push_back(std::string(p) + std::to_string(number < 0 ? 0 : number));
    } else if (section.list != ListShape::None && number >= 0) {
        candidates.push_back(std::to_string(number));  // "01" or " 1" for 1
    }
    return Nearest(key, candidates);
}
