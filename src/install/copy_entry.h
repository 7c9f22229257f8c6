// A copy-list entry's prefixes, apart from the file system. No Windows header, so that
// it compiles and can be fuzzed on any host.
#pragma once

struct CopyPrefixes {
    bool noRecord = false;    // "!": copied, never recorded (the uninstall leaves it)
    bool keepNewer = false;   // "&": an as-new or newer destination is kept without asking
    bool overwrite = false;   // "?": it is overwritten without asking
    bool ignoreFail = false;  // "*": a failed copy is not reported
};

// Strips the prefixes "!", "&", "?", "*", recognised only in this order and each at most
// once, and returns the path after them. A prefix out of that order stays in the path.
const char* ParseCopyPrefixes(const char* entry, CopyPrefixes* prefixes);
