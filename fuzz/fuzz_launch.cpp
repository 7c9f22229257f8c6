// Launch entries of any bytes: the split fills its fields within their buffers, marks what
// did not fit, and the program split, the unquoted program, the candidates of a bare
// name and the report lines stay inside theirs. A candidate lies in one of the two
// folders and never names a path the folders do not start.
#include <stdlib.h>
#include <string.h>
#include <string>
#include "fuzz_input.h"
#include "launch/launch_text.h"

namespace {
struct Report {
    std::string text;
    size_t size() const { return text.size(); }
    bool Append(const char* bytes, size_t n) {
        text.append(bytes, n);
        return text.size() < (1u << 20);
    }
    void Release() { text.clear(); }
};

bool Terminated(const char* buffer, size_t cap) { return memchr(buffer, 0, cap) != nullptr; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    bool valueCut = in.Byte() & 1;
    size_t programCap = 1 + in.Byte() % 300, parametersCap = 1 + in.Byte() % 300;
    std::string value = in.Text();
    if (value.size() >= kLaunchValueSize) value.resize(kLaunchValueSize - 1);
    auto exact = Exact(value);
    LaunchFields fields;
    memset(&fields, 0x5A, sizeof fields);
    SplitLaunchValue(exact.get(), valueCut, &fields);
    if (!Terminated(fields.target, sizeof fields.target) || !Terminated(fields.entry, sizeof fields.entry) ||
        !Terminated(fields.option, sizeof fields.option))
        abort();
    std::unique_ptr<char[]> program(new char[programCap]), parameters(new char[parametersCap]);
    bool whole = SplitProgram(fields.target, program.get(), programCap, parameters.get(), parametersCap);
    if (whole && (!Terminated(program.get(), programCap) || !Terminated(parameters.get(), parametersCap))) abort();
    if (whole) {
        size_t nameCap = 1 + in.Byte() % 300;
        std::unique_ptr<char[]> name(new char[nameCap]);
        if (UnquoteProgram(program.get(), name.get(), nameCap) && !Terminated(name.get(), nameCap)) abort();
        name.get()[nameCap - 1] = 0;
        ProgramName kind = ClassifyProgramName(name.get());
        if (kind == ProgramName::Bare) {
            const char* system = "C:\\WINDOWS\\system32";
            const char* windows = "C:\\WINDOWS\\";
            size_t pathCap = 1 + in.Byte() % 300;
            std::unique_ptr<char[]> path(new char[pathCap]);
            int count = 0;
            for (; BareProgramCandidate(name.get(), system, windows, count, path.get(), pathCap); ++count) {
                if (!Terminated(path.get(), pathCap)) abort();
                if (path.get()[0] && strncmp(path.get(), windows, strlen(windows)) != 0) abort();
                if (count > 10) abort();
            }
            if (count != 2 && count != 10) abort();
        }
    }
    LaunchShowCommand(OptionKeyword(fields));
    IsHideOption(fields.option);
    IsPresenceCheck(fields.entry);
    ClassifyLibraryName(fields.target);
    Report report;
    for (LaunchReport kind : {LaunchReport::LoadFailure, LaunchReport::NotALibrary, LaunchReport::MissingEntry})
        AddReportLine(report, "Heading\n\n", kind, fields);
    return 0;
}
