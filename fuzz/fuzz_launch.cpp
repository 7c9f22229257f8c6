// Launch entries of any bytes: the split fills its fields within their buffers, marks what
// did not fit, and the program split and report lines stay inside theirs.
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
    if (SplitProgram(fields.target, program.get(), programCap, parameters.get(), parametersCap) &&
        (!Terminated(program.get(), programCap) || !Terminated(parameters.get(), parametersCap)))
        abort();
    LaunchShowCommand(OptionKeyword(fields));
    IsHideOption(fields.option);
    IsPresenceCheck(fields.entry);
    ClassifyLibraryName(fields.target);
    Report report;
    for (LaunchReport kind : {LaunchReport::LoadFailure, LaunchReport::NotALibrary, LaunchReport::MissingEntry})
        AddReportLine(report, "Heading\n\n", kind, fields);
    return 0;
}
