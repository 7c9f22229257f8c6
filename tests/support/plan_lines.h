// The item lines of a SetupTool plan, "  OUTCOME  OBJECT  DETAIL", taken apart.
#pragma once
#include <string>
#include <vector>

namespace plan {

struct Line {
    std::string outcome, object, detail;
};

inline std::vector<Line> Lines(const std::string& text) {
    std::vector<Line> out;
    for (size_t pos = 0, end; pos < text.size(); pos = end + 1) {
        end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        Line l;
        size_t space = line.find(' ', 2);
        l.outcome = line.substr(2, space - 2);
        size_t object = line.find_first_not_of(' ', space);
        if (object == std::string::npos) continue;
        size_t gap = line.find("  ", object);
        l.object = line.substr(object, gap == std::string::npos ? std::string::npos : gap - object);
        if (gap != std::string::npos) l.detail = line.substr(line.find_first_not_of(' ', gap));
        out.push_back(l);
    }
    return out;
}

// The outcomes of every line about object, joined by "+" ("" when there is none).
inline std::string OutcomeOf(const std::vector<Line>& lines, const std::string& object) {
    std::string out;
    for (const Line& l : lines)
        if (l.object == object) out += (out.empty() ? "" : "+") + l.outcome;
    return out;
}

inline std::string DetailOf(const std::vector<Line>& lines, const std::string& outcome, const std::string& object) {
    for (const Line& l : lines)
        if (l.outcome == outcome && l.object == object) return l.detail;
    return "<no such line>";
}

}  // namespace plan
