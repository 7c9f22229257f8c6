#include "app/exit_code.h"
#include <string.h>
#include "base/text.h"

int ChooseExitCode(const RunEnd& end) {
    if (end.cancelled) return kExitCancelled;
    if (end.fatal || end.failed > 0) return kExitFailed;
    if (end.restartPending) return end.forceRestart ? kExitRestarting : kExitRestartNeeded;
    return kExitSuccess;
}

bool DefaultLogName(const char* productName, char* out, size_t cap) {
    static const char kSuffix[] = ".log";
    static const char kPrefix[] = "Setup ";
    if (cap < sizeof kPrefix + sizeof kSuffix) return false;
    CopyBounded(out, cap, kPrefix);
    size_t n = strlen(out);
    const size_t room = cap - sizeof kSuffix;  // where the suffix must still fit
    for (const char* p = productName ? productName : ""; *p;) {
        unsigned char c = (unsigned char)*p;
        size_t step = IsLeadByte(c) && p[1] ? 2 : 1;
        if (n + step > room) break;
        if (step == 2) {
            out[n++] = p[0];
            out[n++] = p[1];
        } else if (c >= 0x20 && c != 0x7f) {
            out[n++] = strchr("\\/:*?\"<>|", c) ? '_' : (char)c;
        }
        p += step;
    }
    // A name of dots and blanks only would end in something Windows trims away.
    while (n > sizeof kPrefix - 1 && (out[n - 1] == ' ' || out[n - 1] == '.')) --n;
    if (n == sizeof kPrefix - 1) --n;  // no name: "Setup.log"
    out[n] = 0;
    return AppendBounded(out, cap, kSuffix);
}

void FormatActionLine(char* out, size_t cap, const char* word, const char* object, const char* detail,
                      unsigned long error, const char* errorText) {
    if (cap == 0) return;
    out[0] = 0;
    const char* parts[] = {word, object, detail};
    for (const char* part : parts) {
        if (!part || !part[0]) continue;
        if (out[0]) AppendBounded(out, cap, "  ");
        AppendBounded(out, cap, part);
    }
    if (error == 0) return;
    char tail[96];
    FormatBounded(tail, sizeof tail, "  (error %lu: ", error);
    AppendBounded(out, cap, tail);
    AppendBounded(out, cap, errorText ? errorText : "");
    AppendBounded(out, cap, ")");
}
