#include "tool/vocabulary.h"
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "base/text.h"

namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// The nearest candidate within a distance that still reads as a slip of the pen.
std::string Nearest(const std::string& name, const std::vector<std::string>& candidates) {
    const int allowed = name.size() <= 4 ? 1 : name.size() <= 8 ? 2 : 3;
    std::string best;
    int bestDistance = allowed + 1;
    for (const std::string& c : candidates) {
        int d = NameDistance(name, c, allowed);
        if (d > 0 && d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

// The digits at the end of a name ("" when none).
std::string TrailingDigits(const std::string& name) {
    size_t i = name.size();
    while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
    return name.substr(i);
}

}  // namespace

int NameDistance(const std::string& a, const std::string& b, int limit) {
    const size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > (size_t)limit) return limit + 1;
    std::vector<int> d((n + 1) * (m + 1));
    auto at = [&](size_t i, size_t j) -> int& { return d[i * (m + 1) + j]; };
    for (size_t i = 0; i <= n; ++i) at(i, 0) = (int)i;
    for (size_t j = 0; j <= m; ++j) at(0, j) = (int)j;
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            int cost = Fold(a[i - 1]) == Fold(b[j - 1]) ? 0 : 1;
            int v = at(i - 1, j) + 1;
            if (at(i, j - 1) + 1 < v) v = at(i, j - 1) + 1;
            if (at(i - 1, j - 1) + cost < v) v = at(i - 1, j - 1) + cost;
            if (i > 1 && j > 1 && Fold(a[i - 1]) == Fold(b[j - 2]) && Fold(a[i - 2]) == Fold(b[j - 1]) &&
                at(i - 2, j - 2) + 1 < v)
                v = at(i - 2, j - 2) + 1;
            at(i, j) = v;
        }
    }
    return at(n, m) > limit ? limit + 1 : at(n, m);
}

std::string SuggestSection(const std::string& name) {
    std::vector<std::string> candidates;
    std::string digits = TrailingDigits(name);
    // A number written with a leading zero or a blank still names its family.
    int number = DecimalNumber(digits);
    if (number < 0 && !digits.empty()) number = (int)strtol(digits.c_str(), nullptr, 10) % 10000000;
    int count = 0;
    const SectionShape* shapes = SectionShapes(&count);
    for (int i = 0; i < count; ++i) {
        const SectionShape& s = shapes[i];
        if (!s.family) {
            candidates.push_back(s.name);
        } else {
            candidates.push_back(std::string(s.name) + std::to_string(number < 0 ? 0 : number));
        }
    }
    return Nearest(name, candidates);
}

std::string SuggestKey(const SectionShape& section, const std::string& key) {
    std::vector<std::string> candidates;
    for (int i = 0; i < section.keyCount; ++i) candidates.push_back(section.keys[i].name);
    std::string digits = TrailingDigits(key);
    int number = DecimalNumber(digits);
    if (number < 0 && !digits.empty()) number = (int)strtol(digits.c_str(), nullptr, 10) % 10000000;
    if (section.list == ListShape::Prefixed) {
        int prefixes = 0;
        const char* const* p = ListPrefixes(&prefixes);
        for (int i = 0; i < prefixes; ++i) candidates.push_back(std::string(p[i]) + std::to_string(number < 0 ? 0 : number));
    } else if (section.list != ListShape::None && number >= 0) {
        candidates.push_back(std::to_string(number));  // "01" or " 1" for 1
    }
    return Nearest(key, candidates);
}
