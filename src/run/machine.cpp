#include "run/machine.h"
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>
#include "base/handles.h"
#include "base/text.h"
#include "run/handover.h"
#include "run/run_state.h"
#include "script/paths.h"

namespace {

// The system calls themselves.
class System : public Machine {
public:
    DWORD Attributes(const char* path) override { return GetFileAttributesA(path); }
    bool AttributeData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) override {
        return GetFileAttributesExA(path, GetFileExInfoStandard, data) != FALSE;
    }
    int CompareAge(const char* destination, const char* source) override {
        UniqueFile dst(
            CreateFileA(destination, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!dst) return 2;
        UniqueFile src(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!src) return 2;
        FILETIME dstTime{}, srcTime{};
        GetFileTime(dst.get(), nullptr, nullptr, &dstTime);
        GetFileTime(src.get(), nullptr, nullptr, &srcTime);
        return CompareFileTime(&srcTime, &dstTime);
    }
    bool MakeFolder(const char* path) override { return CreateDirectoryA(path, nullptr) != FALSE; }
    bool RemoveFolder(const char* path) override { return RemoveDirectoryA(path) != FALSE; }
    bool Copy(const char* from, const char* to, bool failIfExists) override {
        return ::CopyFileA(from, to, failIfExists) != FALSE;
    }
    bool SetAttributes(const char* path, DWORD attributes) override {
        return SetFileAttributesA(path, attributes) != FALSE;
    }
    bool Delete(const char* path) override { return ::DeleteFileA(path) != FALSE; }
    DWORD Recycle(const char* path) override {
        char from[kPathSize + 2] = {};  // zero-filled: the list ends in a double zero
        if (!CopyBounded(from, kPathSize, path)) return ERROR_FILENAME_EXCED_RANGE;  // a cut path names another file
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from;
        op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
        int result = SHFileOperationA(&op);
        if (result == 0 && op.fAnyOperationsAborted) return ERROR_CANCELLED;
        return (DWORD)result;
    }
    RestartRoute ReplaceAtRestart(char* path, char* target) override { return ::ReplaceAtRestart(path, target); }
    RestartRoute CopyAtRestart(const char* source, char* destination) override {
        return CopyViaTemporaryFile(source, destination);
    }
    void FindFiles(const char* pattern, FindVisitor& visit) override {
        WIN32_FIND_DATAA found;
        UniqueFind find(FindFirstFileA(pattern, &found));
        if (!find) return;
        do {
            if (!visit.Found(found)) return;
        } while (FindNextFileA(find.get(), &found));
    }
    bool Identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) override {
        UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file && GetFileInformationByHandle(file.get(), info);
    }

    LONG OpenKey(HKEY parent, const char* name, REGSAM rights, HKEY* key) override {
        return RegOpenKeyExA(parent, name, 0, rights, key);
    }
    LONG CreateKey(HKEY parent, const char* name, REGSAM rights, HKEY* key, bool* created) override {
        DWORD disposition = 0;
        LONG rc = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, rights, nullptr, key, &disposition);
        if (created) *created = rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
        return rc;
    }
    void CloseKey(HKEY key) override { RegCloseKey(key); }
    void FlushKey(HKEY key) override { RegFlushKey(key); }
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override {
        return RegQueryValueExA(key, name, nullptr, type, data, size);
    }
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override {
        return RegSetValueExA(key, name, 0, type, data, size);
    }
    LONG DeleteValue(HKEY key, const char* name) override { return RegDeleteValueA(key, name); }
    LONG DeleteKey(HKEY parent, const char* name) override { return RegDeleteKeyA(parent, name); }
    LONG EnumKey(HKEY key, DWORD index, char* name, DWORD cap) override { return RegEnumKeyA(key, index, name, cap); }
    LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize) override {
        return RegEnumValueA(key, index, name, nameSize, nullptr, nullptr, nullptr, nullptr);
    }

    bool SaveLink(const char* path, const LinkValues& v) override {
        wchar_t widePath[kPathSize];
        if (strlen(path) >= kPathSize || !MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, (int)kPathSize))
            return false;
        ComInit com;
        ComPtr<IShellLinkA> link;
        if (!NewLink(link)) return false;
        link->SetShowCmd(v.show);
        link->SetArguments(v.arguments);
        if (v.hasHotkey) link->SetHotkey(v.hotkey);
        link->SetPath(v.target);
        if (v.hasIcon) link->SetIconLocation(v.icon, v.iconIndex);
        link->SetWorkingDirectory(v.workFolder);
        ComPtr<IPersistFile> file;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())) && file) file->Save(widePath, TRUE);
        return true;
    }
    bool ReadLink(const char* path, char* target, size_t targetCap, char* arguments, size_t argumentsCap) override {
        wchar_t widePath[kPathSize];
        if (strlen(path) >= kPathSize || !MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, (int)kPathSize))
            return false;
        ComInit com;
        ComPtr<IShellLinkA> link;
        ComPtr<IPersistFile> file;
        if (!NewLink(link) || FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || !file ||
            FAILED(file->Load(widePath, STGM_READ)))
            return false;
        target[0] = arguments[0] = 0;
        link->GetPath(target, (int)targetCap, nullptr, SLGP_RAWPATH);
        target[targetCap - 1] = 0;
        link->GetArguments(arguments, (int)argumentsCap);
        arguments[argumentsCap - 1] = 0;
        return true;
    }
    void FindProgram(const char* name, const char* folder, char* found) override {
        FindProgramOnDisk(name, folder, found);
    }
    bool StoredLinkTarget(const char* target, char* out, size_t cap) override {
        out[0] = 0;
        ComInit com;
        ComPtr<IShellLinkA> link;
        if (!NewLink(link)) return false;
        link->SetPath(target);
        link->GetPath(out, (int)cap, nullptr, SLGP_RAWPATH);
        out[cap - 1] = 0;
        return true;
    }
    void Open(HWND owner, const char* verb, const char* path, const char* folder, int show) override {
        ShellExecuteA(owner, verb, path, nullptr, folder, show);
    }
    bool Start(HWND owner, const char* program, const char* parameters, const char* folder, int show,
               DWORD* error) override {
        // Keep the process handle, connect network drives, wait for DDE to finish, and no
        // error boxes of the shell's own.
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_CONNECTNETDRV | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
        info.hwnd = owner;
        info.lpFile = program;
        info.lpParameters = parameters && parameters[0] ? parameters : nullptr;
        info.lpDirectory = folder && folder[0] ? folder : nullptr;
        info.nShow = show;
        BOOL started = ShellExecuteExA(&info);
        if (error) *error = started ? 0 : GetLastError();
        UniqueKernelHandle process(info.hProcess);  // kept by the call, never waited for
        return started != FALSE;
    }
    void AssociationsChanged() override { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }
    bool HandOver(const char* commandLine, int showWindow) override { return HandOverTo(commandLine, showWindow); }

    HMODULE OpenLibrary(const char* path, DWORD flags) override { return LoadLibraryExA(path, nullptr, flags); }
    FARPROC LibraryFunction(HMODULE library, const char* name) override { return GetProcAddress(library, name); }
    void CallFunction(FARPROC function) override { CallWithZeroes(function); }
    void CloseLibrary(HMODULE library) override { FreeLibrary(library); }

    void Pause(DWORD milliseconds) override { Sleep(milliseconds); }

private:
    // With no arguments: one that takes some finds zeroes. On i686 a stdcall function pops
    // the arguments it expects, so the stack pointer is put back after the call (in esi,
    // which the callee preserves), its writes to its arguments land in the zeroed pad, and
    // a floating-point result left on the x87 stack is dropped. On x64 the caller cleans
    // up: the zeroes are enough.
    static void CallWithZeroes(FARPROC function) {
#if defined(__i386__)
        __asm__ volatile(
            "movl %%esp, %%esi\n\t"
            "subl $64, %%esp\n\t"
            "andl $-16, %%esp\n\t"
            "movl %%esp, %%edi\n\t"
            "movl $16, %%ecx\n\t"
            "xorl %%eax, %%eax\n\t"
            "cld\n\t"
            "rep stosl\n\t"
            "call *%%edx\n\t"
            "movl %%esi, %%esp\n"
            "1:\n\t"
            "fnstsw %%ax\n\t"
            "testw $0x3800, %%ax\n\t"  // the stack's top back at 0: empty
            "jz 2f\n\t"
            "fstp %%st(0)\n\t"
            "jmp 1b\n"
            "2:"
            : "+d"(function)
            :
            : "eax", "ecx", "esi", "edi", "memory", "cc");
#else
        typedef void(WINAPI * PaddedCall)(void*, void*, void*, void*, void*, void*, void*, void*);
        reinterpret_cast<PaddedCall>(function)(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
#endif
    }

    static bool NewLink(ComPtr<IShellLinkA>& link) {
        return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                          link.put_void())) &&
               link;
    }
};

}  // namespace

Machine& SystemMachine() {
    static System system;
    return system;
}

Machine& M() {
    Machine* machine = Run().machine;
    return machine ? *machine : SystemMachine();
}

namespace {
void FindProgramOnRunMachine(const char* name, const char* folder, char* found) { M().FindProgram(name, folder, found); }
}  // namespace

bool ExpandProgramPath(const char* text, const char* installFolder, char* result) {
    return ExpandPath(text, installFolder, result, true, FindProgramOnRunMachine);
}
