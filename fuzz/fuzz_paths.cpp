// The path rules, wildcard patterns, numbered section lines and folder tokens: no read
// past a text, no write past a buffer, results that keep their promises.
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "fuzz_input.h"
#include "script/path_rules.h"
#include "script/section_parse.h"
#include "script/token_text.h"
#include "uninstall/removal_rules.h"

namespace {
// Folders of every length, so that expansions overflow their buffer.
bool Lookup(void* context, const char* name, char* out, size_t cap) {
    size_t length = *static_cast<uint8_t*>(context) * 3u;
    if (name[0] == 'x') return false;
    if (length >= cap) length = cap - 1;
    memset(out, 'F', length);
    out[length] = 0;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t folderLength = in.Byte();
    size_t cap = 1 + in.Byte() % 600;
    std::string a = in.Text(), b = in.Text();
    auto path = Exact(a), pattern = Exact(b);

    bool root = IsRootPath(path.get()), absolute = IsAbsolutePath(path.get());
    if (IsUsableInstallFolder(path.get()) != (absolute && !root)) abort();
    size_t serverLength = 0;
    const char* server = UncServerName(path.get(), &serverLength);
    if (server && (IsDevicePath(path.get()) || server != path.get() + 2 || serverLength > a.size() - 2)) abort();
    if (server) IsLoopbackServer(server, serverLength);
    IsLoopbackServer(pattern.get(), b.size());
    HasWildcard(pattern.get());
    if (MatchesPattern(path.get(), "*") != true && a.size()) abort();  // "*" takes every name
    MatchesPattern(path.get(), pattern.get());

    std::unique_ptr<char[]> out(new char[cap]);
    bool whole = ExpandTokensInText(path.get(), out.get(), cap, Lookup, &folderLength);
    if (strnlen(out.get(), cap) >= cap) abort();
    if (whole && a.find('%') == std::string::npos && strcmp(out.get(), path.get()) != 0) abort();

    // Section lines: the rest of the input, double-zero terminated.
    size_t n = 0;
    const uint8_t* rest = in.Rest(&n);
    std::vector<char> lines(rest, rest + n);
    lines.push_back(0);
    lines.push_back(0);
    size_t kept = TrimSectionLines(lines.data());  // lines only shrink
    if (kept > n + 1 || lines[kept] != 0) abort();
    for (const char* line = lines.data(); *line; line += strlen(line) + 1) {
        size_t len = strlen(line);
        const char* eq = strchr(line, '=');
        bool blankEnds = line[0] == ' ' || line[0] == '\t' || line[len - 1] == ' ' || line[len - 1] == '\t';
        bool blankAroundEq = eq && ((eq > line && (eq[-1] == ' ' || eq[-1] == '\t')) || eq[1] == ' ' || eq[1] == '\t');
        if (blankEnds || blankAroundEq) abort();
    }
    int highest = HighestListNumber(lines.data());
    if (highest >= (1 << 20)) abort();
    if (highest >= 0) {
        std::vector<const char*> values(highest + 1, nullptr);
        IndexListValues(lines.data(), values.data(), highest + 1);
        for (const char* v : values)
            if (v && (v < lines.data() || v >= lines.data() + lines.size())) abort();
    }
    return 0;
}
