#include "app/run_log.h"
#include <string.h>
#include "app/exit_code.h"
#include "base/text.h"
#include "run/system.h"
#include "script/script.h"

bool RunLog::Open(const char* path) {
    file_.reset(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    return IsOpen();
}

void RunLog::Write(const char* text, size_t n) {
    if (!file_) return;
    while (n > 0) {
        if (used_ == sizeof buffer_) Flush();
        size_t part = sizeof buffer_ - used_;
        if (part > n) part = n;
        memcpy(buffer_ + used_, text, part);
        used_ += part;
        text += part;
        n -= part;
    }
}

void RunLog::Flush() {
    if (!file_ || used_ == 0) return;
    DWORD written = 0;
    WriteFile(file_.get(), buffer_, (DWORD)used_, &written, nullptr);
    used_ = 0;
}

void RunLog::Line(const char* text) {
    Write(text, strlen(text));
    Write("\r\n", 2);
}

void RunLog::Header(const char* product, const char* version, const char* commandLine) {
    char line[1024];
    FormatBounded(line, sizeof line, "Product: %s", product);
    Line(line);
    FormatBounded(line, sizeof line, "Version: %s", version);
    Line(line);
    FormatBounded(line, sizeof line, "Command line: %s", commandLine);
    Line(line);
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatBounded(line, sizeof line, "Started: %04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    Line(line);
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    FormatBounded(line, sizeof line, "System: Windows %lu.%lu build %lu (%s family)", v.dwMajorVersion,
                  v.dwMinorVersion, v.dwBuildNumber & 0xffff, IsNtFamily() ? "NT" : "9x");
    Line(line);
    Flush();
}

void RunLog::Answered(const Message& message, Answer answer) {
    const char* how = message.kind != Message::Question ? "logged instead of shown"
                      : answer == Answer::Yes           ? "answered Yes"
                                                        : "answered No";
    BeginSection();
    char line[128];
    FormatBounded(line, sizeof line, "Message (%s): ", how);
    Write(line, strlen(line));
    Write(message.caption ? message.caption : "", message.caption ? strlen(message.caption) : 0);
    Line("");
    // The text's own lines, indented, so that a list of files stays one file a line.
    for (const char* p = message.text ? message.text : ""; *p;) {
        const char* end = p;
        while (*end && *end != '\n' && *end != '\r') ++end;
        if (end > p) {
            Write("    ", 4);
            Write(p, (size_t)(end - p));
            Write("\r\n", 2);
        }
        p = end;
        while (*p == '\n' || *p == '\r') ++p;
    }
}

void RunLog::End(int exitCode) {
    char line[160];
    FormatBounded(line, sizeof line, "Totals: %d made, %d replaced, %d kept, %d removed, %d failed, %d left for the restart",
                  totals.made, totals.replaced, totals.kept, totals.removed, totals.failed, totals.restart);
    Line(line);
    FormatBounded(line, sizeof line, "Exit code: %d", exitCode);
    Line(line);
    Flush();
}

void RunLog::Section(const char* title) { CopyBounded(section_, sizeof section_, title); }

void RunLog::BeginSection() {
    if (!section_[0]) return;
    Line("");
    char line[sizeof section_ + 8];
    FormatBounded(line, sizeof line, "== %s", section_);
    Line(line);
    section_[0] = 0;
}

void RunLog::Action(Outcome outcome, const char* word, const char* object, const char* detail, DWORD error) {
    totals.Add(outcome);
    if (!file_) return;
    BeginSection();
    char text[256] = "";
    if (error) {
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                 sizeof text, nullptr);
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
            text[--n] = 0;
    }
    char line[2 * kPathSize + 512];
    FormatActionLine(line, sizeof line, word, object, detail, error, text);
    Write("  ", 2);
    Line(line);
}

void RunLog::Note(const char* text) {
    BeginSection();
    char line[600];
    FormatBounded(line, sizeof line, "  (%s)", text);
    Line(line);
}
