// Read-me page lists: identifiers, button lines, the page search and the text-box text
// stay inside their lists and buffers for any lines.
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "fuzz_input.h"
#include "ui/readme_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    int32_t wanted = (int32_t)in.Number(0);
    size_t cap = 1 + in.Byte() % 300;
    std::vector<std::string> texts;
    for (int i = 0; i < 12; ++i) texts.push_back(in.Text());
    std::vector<std::unique_ptr<char[]>> owned;
    std::vector<const char*> lines;
    for (const std::string& t : texts) {
        owned.push_back(Exact(t));
        lines.push_back(owned.back().get());
    }
    int count = (int)lines.size();
    int start = FindPageStart(lines.data(), count, wanted);
    if (start < 0 || start > count) abort();
    int end = FindPageEnd(lines.data(), count, start);
    if (end < start || end > count) abort();
    PageButtons buttons = ReadPageButtons(lines.data(), start, end);
    for (int b = 0; b < kReadmeButtons; ++b) ButtonShown(buttons.target[b]);
    int32_t identifier;
    ButtonLine button;
    for (const char* line : lines) {
        IsPageLine(line, &identifier);
        if (ParseButtonLine(line, &button) && (button.button < 0 || button.button >= kReadmeButtons)) abort();
        ParsePageIdentifier(line);
        ParseButtonTarget(line);
    }
    std::unique_ptr<char[]> out(new char[cap]);
    size_t n = ToTextBoxText(lines[0], out.get(), cap);
    if (n >= cap || strnlen(out.get(), cap) != n) abort();
    ScreenRect window{(int32_t)in.Number(0), (int32_t)in.Number(0), (int32_t)in.Number(0), (int32_t)in.Number(0)};
    ScreenRect desktop{0, 0, (int32_t)in.Number(1 << 16), (int32_t)in.Number(1 << 16)};
    FitOnDesktop(window, desktop);
    return 0;
}
