#include "script/vocabulary.h"
#include <string.h>
#include "base/text.h"

namespace {

constexpr size_t kText = kValueSize - 1;
constexpr size_t kLongText = kLongValueSize - 1;
constexpr size_t kName = kNameSize - 1;
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
                        {"Verb", kName},  {"Verb2", kName}, {"Command", kText}, {"Force", kNumber},
                        {"Description", kText}};
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

// The digits at the end of a name (its length when there are none).
size_t TrailingDigitsAt(const char* name) {
    size_t i = strlen(name);
    while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
    return i;
}

}  // namespace

int DecimalNumber(const char* text) {
    size_t size = strlen(text);
    if (size == 0 || size > 7 || (size > 1 && text[0] == '0')) return -1;
    int n = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return -1;
        n = n * 10 + (*p - '0');
    }
    return n;
}

const SectionShape* FindSection(const char* name, int* number) {
    size_t size = strlen(name);
    for (const SectionShape& s : kSections) {
        if (!s.family) {
            if (EqualsAsciiNoCase(name, s.name)) return &s;
            continue;
        }
        size_t n = strlen(s.name);
        if (size > n && StartsWithAsciiNoCase(name, s.name)) {
            int k = DecimalNumber(name + n);
            if (k >= 0) {
                if (number) *number = k;
                return &s;
            }
        }
    }
    return nullptr;
}

const KeyShape* FindKey(const SectionShape& section, const char* key) {
    for (int i = 0; i < section.keyCount; ++i)
        if (EqualsAsciiNoCase(key, section.keys[i].name)) return &section.keys[i];
    return nullptr;
}

bool IsListKey(const SectionShape& section, const char* key, const char** prefix, int* number) {
    int n = -1;
    size_t size = strlen(key);
    if (section.list == ListShape::Prefixed) {
        for (const char* p : kPrefixes) {
            size_t len = strlen(p);
            if (size > len && StartsWithAsciiNoCase(key, p) && (n = DecimalNumber(key + len)) >= 0) {
                if (prefix) *prefix = p;
                break;
            }
        }
    } else if (section.list == ListShape::Facts) {
        size_t at = TrailingDigitsAt(key);
        if (at > 0) n = DecimalNumber(key + at);  // a kind, then its number
    } else if (section.list != ListShape::None) {
        n = DecimalNumber(key);
        if (section.list == ListShape::Numbered && n < section.firstNumber) n = -1;
    }
    if (n < 0) return false;
    if (number) *number = n;
    return true;
}

const SectionShape* SectionShapes(int* count) {
    *count = (int)(sizeof kSections / sizeof kSections[0]);
    return kSections;
}

const char* const* ListPrefixes(int* count) {
    *count = (int)(sizeof kPrefixes / sizeof kPrefixes[0]);
    return kPrefixes;
}
