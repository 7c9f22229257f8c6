// The log of a run started with switches: a header, one line per action of every step,
// the answers given in place of the user, and the exit code last. A plain text file in
// the ANSI code page, written through a buffer so that thousands of files cost little.
#pragma once
#include <windows.h>
#include "base/handles.h"
#include "run/channel.h"
#include "run/report.h"

class RunLog : public Report {
public:
    RunLog() = default;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    ~RunLog() { Flush(); }

    // Creates (or empties) the file; false when it cannot be written. Without a file the
    // log only adds up.
    bool Open(const char* path);
    bool IsOpen() const { return static_cast<bool>(file_); }
    // The header: product, version, command line, time and system.
    void Header(const char* product, const char* version, const char* commandLine);
    void Line(const char* text);
    // A question or report answered in place of the user.
    void Answered(const Message& message, Answer answer);
    // The last line; the file is flushed.
    void End(int exitCode);

    void Section(const char* title) override;
    void Action(Outcome outcome, const char* word, const char* object, const char* detail, DWORD error) override;
    void Note(const char* text) override;

    StepTotals totals;

private:
    void Write(const char* text, size_t n);
    void Flush();
    void BeginSection();  // a part's heading, once something is said in it

    char section_[128] = "";
    UniqueFile file_;
    char buffer_[16384];
    size_t used_ = 0;
};
