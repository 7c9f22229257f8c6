#include <windows.h>
#include "app/entry.h"

// The process entry itself, without the C runtime's start-up code: the program has no
// global constructors and needs none of it, and every end user downloads those bytes.
extern "C" void WINAPI SetupEntry() {
    ExitProcess((UINT)RunSetup(GetModuleHandleA(nullptr), ArgumentsOf(GetCommandLineA())));
}
