#include "script/token_text.h"
#include "base/text.h"

bool ExpandTokensInText(const char* text, char* out, size_t cap, TokenFolderLookup lookup, void* context) {
    if (!out || cap == 0) return false;
    out[0] = 0;
    bool whole = true;
    const char* p = text;
    while (*p) {
        const char* open = FindFirstChar(p, '%');
        if (!open) {
            whole &= AppendBounded(out, cap, p);
            break;
        }
        whole &= AppendBoundedN(out, cap, p, (size_t)(open - p));
        const char* close = FindFirstChar(open + 1, '%');
        if (!close) {
            whole &= AppendBounded(out, cap, open);
            break;
        }
        char name[520] = "";
        char folder[520] = "";
        bool known = AppendBoundedN(name, sizeof name, open + 1, (size_t)(close - open - 1)) &&
                     lookup(context, name, folder, sizeof folder);
        if (known) {
            whole &= AppendBounded(out, cap, folder);
        } else {
            whole &= AppendBoundedN(out, cap, open, (size_t)(close - open + 1));
        }
        p = close + 1;
    }
    return whole;
}
