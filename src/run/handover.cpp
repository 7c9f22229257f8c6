#include "run/handover.h"
#include "run/run_state.h"
#include "base/handles.h"
#include "script/script.h"
#include "base/text.h"

bool HandOverTo(const char* commandLine, int showWindow) {
    char command[2 * kPathSize];
    if (!CopyBounded(command, sizeof command, commandLine)) return false;  // never run a cut command
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (showWindow >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = (WORD)showWindow;
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED | IDLE_PRIORITY_CLASS,
                        nullptr, "\\", &startup, &info))
        return false;
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    SetThreadPriority(thread.get(), THREAD_PRIORITY_IDLE);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    if (ResumeThread(thread.get()) == (DWORD)-1) {
        // A child left suspended would hold its files (our own exe among them) for good.
        TerminateProcess(process.get(), 1);
        return false;
    }
    return true;
}

bool FormatHandOverCommand(char* out, size_t cap, const char* program, const char* argument) {
    return FormatBounded(out, cap, "\"%s\" %s", program, argument);
}

bool OwnExecutablePath(char* out, size_t cap) {
    DWORD n = GetModuleFileNameA(nullptr, out, (DWORD)cap);
    if (n == 0 || n >= cap) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool ProgramPath(char* out, size_t cap) {
    if (Run().program[0]) return CopyBounded(out, cap, Run().program);
    return OwnExecutablePath(out, cap);
}
