// Bounded copies, appends and formats never write past their capacity, always
// terminate, never end in half a double-byte character; searches stay inside the text.
#include <stdlib.h>
#include <string.h>
#include "base/text.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    size_t cap = in.Byte() % 64;
    size_t n = in.Byte() % 80;
    std::string first = in.Text(), second = in.Text();
    std::unique_ptr<char[]> dst(new char[cap ? cap : 1]);
    auto src = Exact(second);
    bool whole = CopyBounded(dst.get(), cap, first.c_str());
    if (cap) {
        if (strnlen(dst.get(), cap) >= cap) abort();  // unterminated
        if (whole != (first.size() < cap)) abort();
    }
    AppendBounded(dst.get(), cap, src.get());
    AppendBoundedN(dst.get(), cap, src.get(), n);
    FormatBounded(dst.get(), cap, "%s|%d", src.get(), (int)n);
    if (cap && strnlen(dst.get(), cap) >= cap) abort();
    BoundedWriter writer(dst.get(), cap);
    for (int i = 0; i < 3; ++i) writer.Append(src.get());
    if (cap && (writer.length() >= cap || strlen(dst.get()) != writer.length())) abort();
    auto text = Exact(first);
    const char* last = FindLastBackslash(text.get());
    const char* firstPercent = FindFirstChar(text.get(), '%');
    if (last && (last < text.get() || last >= text.get() + first.size() || *last != '\\')) abort();
    if (firstPercent && *firstPercent != '%') abort();
    LastComponent(text.get());
    EqualsAsciiNoCase(text.get(), src.get());
    StartsWithAsciiNoCase(text.get(), src.get());
    char number[12];
    FormatInt(number, sizeof number, (int)in.Number(0));
    return 0;
}
