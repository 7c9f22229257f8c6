#include "install/copy_entry.h"

const char* ParseCopyPrefixes(const char* entry, CopyPrefixes* prefixes) {
    *prefixes = CopyPrefixes();
    const char* p = entry;
    if (*p == '!') prefixes->noRecord = true, ++p;
    if (*p == '&') prefixes->keepNewer = true, ++p;
    if (*p == '?') prefixes->overwrite = true, ++p;
    if (*p == '*') prefixes->ignoreFail = true, ++p;
    return p;
}
