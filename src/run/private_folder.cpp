#include "run/private_folder.h"
#include "base/handles.h"
#include "base/text.h"
#include "script/paths.h"

// Protected (no inherited entries), full access for the system and the administrators,
// inherited by the files made inside.
const char kPrivateFolderSecurity[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

namespace {

constexpr int kAttempts = 64;

// The descriptor of kPrivateFolderSecurity; null where the system has no such call (the
// 9x family and the oldest NT), which has no file security either.
PSECURITY_DESCRIPTOR PrivateDescriptor() {
    typedef BOOL(WINAPI * Convert)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    auto convert = advapi ? reinterpret_cast<Convert>(
                                GetProcAddress(advapi, "ConvertStringSecurityDescriptorToSecurityDescriptorA"))
                          : nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!convert || !convert(kPrivateFolderSecurity, 1 /* SDDL_REVISION_1 */, &descriptor, nullptr)) return nullptr;
    return descriptor;
}

// Whether this process can make files in folder (a process that is no administrator
// cannot, once the folder is protected).
bool CanWriteIn(const char* folder) {
    char probe[kPathSize];
    CopyBounded(probe, sizeof probe, folder);
    if (!JoinPath(probe, "probe.tmp")) return false;
    UniqueFile file(CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(file);
}

bool MakeUnder(const char* parent, char* folder, size_t cap) {
    PSECURITY_DESCRIPTOR descriptor = PrivateDescriptor();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    bool made = false, protect = descriptor != nullptr;
    for (int n = 0; n < kAttempts && !made; ++n) {
        char name[64];
        FormatBounded(name, sizeof name, "Setup-%lu-%d", GetCurrentProcessId(), n);
        if (!CopyBounded(folder, cap, parent) || !JoinPath(folder, name, cap)) break;
        // A folder that exists already may be anyone's: only a new one is ours.
        if (!CreateDirectoryA(folder, protect ? &attributes : nullptr)) continue;
        made = true;
        if (protect && !CanWriteIn(folder)) {
            // Not an administrator: such a process gains nothing from the protection.
            RemoveDirectoryA(folder);
            protect = made = false;
        }
    }
    if (descriptor) LocalFree(descriptor);
    if (!made) folder[0] = 0;
    return made;
}

}  // namespace

bool MakePrivateFolder(char* folder, size_t cap) {
    char parent[kPathSize];
    UINT n = GetWindowsDirectoryA(parent, sizeof parent);
    if (n > 0 && n < sizeof parent && JoinPath(parent, "Temp") && IsFolder(parent) && MakeUnder(parent, folder, cap))
        return true;
    DWORD m = GetTempPathA(sizeof parent, parent);
    return m > 0 && m < sizeof parent && MakeUnder(parent, folder, cap);
}
