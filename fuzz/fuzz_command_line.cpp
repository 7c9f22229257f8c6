// Command lines of any bytes: the parse fills its fields within their buffers, always
// terminated, never both a mode word and a bad line; the log's file name and action lines
// stay inside their buffers, and a log name always ends in ".log".
#include <stdlib.h>
#include <string.h>
#include <string>
#include "app/command_line.h"
#include "app/exit_code.h"
#include "fuzz_input.h"

namespace {
bool Terminated(const char* buffer, size_t cap) { return memchr(buffer, 0, cap) != nullptr; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    size_t nameCap = 1 + in.Byte() % 80, lineCap = 1 + in.Byte() % 200;
    std::string arguments = in.Text();
    auto exact = Exact(arguments);
    CommandLine line;
    ParseCommandLine(exact.get(), &line);
    if (!Terminated(line.folder, sizeof line.folder) || !Terminated(line.logPath, sizeof line.logPath) ||
        !Terminated(line.badWord, sizeof line.badWord))
        abort();
    if (line.bad && !line.switches) abort();  // only a line of switches can be bad
    if (line.mode == RunMode::Remove || line.mode == RunMode::Reboot) {
        if (line.switches || line.bad) abort();
    }
    if (line.folderGiven && !line.folderCut && line.folder[0] == 0 && arguments.find('=') == std::string::npos) abort();

    std::string product = in.Text();
    std::unique_ptr<char[]> name(new char[nameCap]);
    if (DefaultLogName(Exact(product).get(), name.get(), nameCap)) {
        size_t n = strlen(name.get());
        if (n >= nameCap || n < 9 || strcmp(name.get() + n - 4, ".log") != 0) abort();
        if (strpbrk(name.get(), "\\/:*?\"<>|")) {
            // Only a trail byte of a double-byte character may look like one of these.
            bool lead = false;
            for (unsigned char c : product) lead = lead || c >= 0x81;
            if (!lead) abort();
        }
    }
    std::unique_ptr<char[]> out(new char[lineCap]);
    std::string word = in.Text(), object = in.Text(), detail = in.Text(), error = in.Text();
    FormatActionLine(out.get(), lineCap, Exact(word).get(), Exact(object).get(), Exact(detail).get(),
                     in.Number(0), Exact(error).get());
    if (!Terminated(out.get(), lineCap)) abort();
    return 0;
}
