#include "run/system.h"
#include <windows.h>

static bool ReadVersion(OSVERSIONINFOA* version) {
    *version = OSVERSIONINFOA{};
    version->dwOSVersionInfoSize = sizeof *version;
    return GetVersionExA(version) != FALSE;
}

SystemFamily OsFamily() {
    OSVERSIONINFOA version;
    if (!ReadVersion(&version)) return SystemFamily::Unknown;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? SystemFamily::NT : SystemFamily::Win9x;
}

bool SystemKeepsSseRegisters() {
    OSVERSIONINFOA version;
    return ReadVersion(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}
