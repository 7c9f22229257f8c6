#include "run/system.h"
#include <windows.h>

SystemFamily OsFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return SystemFamily::Unknown;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? SystemFamily::NT : SystemFamily::Win9x;
}

bool SystemKeepsSseRegisters() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}
