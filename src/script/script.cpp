#include "script/script.h"

DWORD ReadText(const char* section, const char* key, char* buf, size_t cap, const char* path) {
    if (!buf || cap == 0) return 0;
    buf[0] = 0;
    return GetPrivateProfileStringA(section, key, "", buf, (DWORD)cap, path);
}

int ReadNumber(const char* section, const char* key, int fallback, const char* path) {
    return (int)GetPrivateProfileIntA(section, key, fallback, path);
}

void WriteText(const char* section, const char* key, const char* text, const char* path) {
    WritePrivateProfileStringA(section, key, text ? text : "", path);
}

void WriteNumber(const char* section, const char* key, int value, const char* path) {
    char text[16];
    FormatInt(text, sizeof text, value);
    WriteText(section, key, text, path);
}

void FlushScript(const char* path) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }

bool UseJapanese() { return GetOEMCP() == 932; }

const char* Msg(const char* english, const char* japanese) {
    return UseJapanese() ? japanese : english;
}

int ReadCount(const char* section, const char* path) { return ReadNumber(section, "Count", 0, path); }
