// Loads the libraries named on its command line by their bare names, as the shell and
// the common controls load theirs on demand; with "restricted" first it narrows the
// search to the system folder as Setup.exe does. Shows whether planted DLLs are taken.
#include <windows.h>
#include <string.h>

int main(int argc, char** argv) {
    int first = 1;
    if (argc > 1 && strcmp(argv[1], "restricted") == 0) {
        first = 2;
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        typedef BOOL(WINAPI * SetDefault)(DWORD);
        typedef BOOL(WINAPI * SetDirectory)(LPCSTR);
        auto setDefault = reinterpret_cast<SetDefault>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
        auto setDirectory = reinterpret_cast<SetDirectory>(GetProcAddress(kernel, "SetDllDirectoryA"));
        if (!setDefault || !setDirectory) return 2;
        setDefault(0x00000800);
        setDirectory("");
    }
    for (int i = first; i < argc; ++i) LoadLibraryA(argv[i]);
    return 0;
}
