// Findings of the script check and how they are told: "FILE:LINE: error: text", in
// the order of their lines. Pure code (no Windows header).
#pragma once
#include <string>
#include <vector>

enum class Severity { Warning, Error };

struct Finding {
    int line;  // 0: the file as a whole
    Severity severity;
    std::string text;
};

class Findings {
public:
    void Add(int line, Severity severity, const std::string& text) { list_.push_back({line, severity, text}); }
    void Warn(int line, const std::string& text) { Add(line, Severity::Warning, text); }
    void Error(int line, const std::string& text) { Add(line, Severity::Error, text); }
    // In the order of their lines; findings of one line in the order they were made.
    std::vector<Finding> Sorted() const;
    size_t Count(Severity severity) const;
    // 0 clean, 1 warnings only, 2 any error.
    int ExitStatus() const;
    // One line per finding, each ending in "\n".
    std::string Format(const std::string& file) const;

private:
    std::vector<Finding> list_;
};

// "text" in double quotes, for names and values inside a finding.
std::string Quoted(const std::string& text);
