#include "tool/findings.h"
#include <algorithm>

std::vector<Finding> Findings::Sorted() const {
    std::vector<Finding> sorted = list_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return sorted;
}

size_t Findings::Count(Severity severity) const {
    size_t n = 0;
    for (const Finding& f : list_) n += f.severity == severity;
    return n;
}

int Findings::ExitStatus() const {
    if (Count(Severity::Error)) return 2;
    return list_.empty() ? 0 : 1;
}

std::string Findings::Format(const std::string& file) const {
    std::string out;
    for (const Finding& f : Sorted()) {
        out += file;
        if (f.line > 0) out += ":" + std::to_string(f.line);
        out += f.severity == Severity::Error ? ": error: " : ": warning: ";
        out += f.text;
        out += "\n";
    }
    return out;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
