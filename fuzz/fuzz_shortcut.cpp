// Shortcut names and hotkeys: link paths fit their buffer or are refused, never climb out
// of their folder, and any "Short" text gives a hotkey without a read past it.
#include <stdlib.h>
#include <string.h>
#include "fuzz_input.h"
#include "base/text.h"
#include "shell/shortcut_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    size_t cap = 1 + in.Byte() % 300;
    int parts = in.Byte() % 8;
    int show = (int)in.Number(0);
    std::string base = in.Text(), name = in.Text(), hotkey = in.Text();
    auto exactName = Exact(name), exactHotkey = Exact(hotkey);
    int command = ShowCommandFromValue(show);
    if (command != kShowNormal && command != kShowMaximized && command != kShowMinNoActive) abort();
    uint16_t key = 0;
    HotkeyFromText(exactHotkey.get(), &key);
    bool usable = IsUsableLinkName(exactName.get());
    LinkFolderDepth(exactName.get());
    std::unique_ptr<char[]> out(new char[cap]);
    if (BuildLinkPath(out.get(), cap, base.c_str(), exactName.get())) {
        if (strnlen(out.get(), cap) >= cap) abort();
        if (!usable) abort();  // a refused name never makes a path
        // A ".." component (bytes of a double-byte character aside) would leave the folder.
        bool multibyte = false;
        for (char c : name) multibyte |= IsLeadByte((unsigned char)c);
        if (!multibyte && strstr(out.get() + base.size(), "\\..\\")) abort();
    }
    JoinNameParts(out.get(), cap, base.c_str(), exactName.get(), parts);
    return 0;
}
