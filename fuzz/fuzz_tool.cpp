// The author's tool's pure parts: a script's text taken apart line by line, its names
// looked up and near misses suggested, copy prefixes and BMP headers judged, comments
// at the end of values found, commands and type names to suggest built, for any bytes.
#include <stdlib.h>
#include <string.h>
#include <string>
#include "fuzz_input.h"
#include "install/copy_entry.h"
#include "tool/check_rules.h"
#include "tool/ini_text.h"
#include "tool/vocabulary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IniFile ini = ParseIni(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    for (const IniSection& s : ini.sections) {
        if (s.line < 1 || s.line > lines || s.firstOf >= (int)ini.sections.size()) abort();
        int number = -1;
        const SectionShape* shape = FindSection(s.name, &number);
        if (!shape) SuggestSection(s.name);
        for (const IniKey& k : s.keys) {
            if (k.line < s.line || k.line > lines) abort();
            std::string value = ReadValue(k.value);
            if (value.size() > k.value.size()) abort();
            if (HasDroppedQuotes(k.value) != (value.size() + 2 == k.value.size())) abort();
            if (shape && !FindKey(*shape, k.name)) {
                const char* prefix = "";
                int n = -1;
                if (!IsListKey(*shape, k.name, &prefix, &n)) SuggestKey(*shape, k.name);
            }
            CopyPrefixes prefixes;
            const char* path = ParseCopyPrefixes(value.c_str(), &prefixes);
            if (path < value.c_str() || path > value.c_str() + value.size()) abort();
            MisplacedCopyPrefix(path);
            SuggestDrawKeyword(k.name, true);
            SuggestModeWord(value);
            SuggestRootName(k.name);
            TokenRunningOn(value.c_str(), true);
            TokenRunningOn(value.c_str(), false);
            for (bool quotes : {false, true}) {
                size_t at = EndOfLineComment(value.c_str(), quotes);
                if (at != std::string::npos && (at >= value.size() || value[at] != ';')) abort();
            }
            IsDrawTextLine(value.c_str());
            if (ShortText(value, 40).size() > 43) abort();
            if (QuotedCommandValue(value.c_str(), k.name.c_str()).size() > value.size() + k.name.size() + 8) abort();
            std::string own = OwnTypeName(value.c_str(), k.name.c_str());
            if (own.size() > value.size() + k.name.size() + 1) abort();
        }
        if (ini.LineOf(s.name.c_str(), nullptr) < 1) abort();
    }
    for (const IniNote& n : ini.notes)
        if (n.line < 1 || n.line > lines) abort();
    BmpRejection(data, size < 54 ? size : 54, size);
    return 0;
}
