#include "uninstall/self_removal.h"
#include <stdint.h>
#include <string.h>
#include "run/handover.h"
#include "run/private_folder.h"
#include "run/system.h"
#include "run/restart.h"
#include "base/handles.h"
#include "script/paths.h"
#include "script/script.h"
#include "base/text.h"
#include "uninstall/removal_plan.h"

static const char kBatchName[] = "delus.bat";
// Tells the remove-mode process that an uninstall handed its folder over; inherited with
// the environment, while the command line stays exactly "remove".
static const char kHandOverVariable[] = "SETUP_SELF_REMOVAL";

namespace {

// The executable's folder (its path cut at the last backslash).
bool OwnFolder(char* folder, size_t cap) {
    if (!OwnExecutablePath(folder, cap)) return false;
    char* bs = FindLastBackslash(folder);
    if (!bs) return false;
    *bs = 0;
    return true;
}

bool Identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), info);
}

// The same folder under any spelling (case, short names, a trailing backslash).
bool SameFolder(const char* a, const char* b) {
    char fullA[kPathSize], fullB[kPathSize];
    if (!FullPath(a, fullA) || !FullPath(b, fullB)) return false;
    if (lstrcmpiA(fullA, fullB) == 0) return true;
    BY_HANDLE_FILE_INFORMATION x, y;
    return Identity(fullA, &x) && Identity(fullB, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow &&
           (x.nFileIndexHigh | x.nFileIndexLow) != 0;
}

// The folder the self-removal may take once the executable is gone: never a protected one
// (an install into an existing shell folder, such as the user's Music, leaves it).
bool MayRemoveOwnFolder(const char* exe, const char* folder) {
    RemovalGuards guards("", exe);
    return guards.MayRemoveFolder(folder);
}

}  // namespace

bool RunsFromInstallFolder(const char* record) {
    if (ReadCount("CopiedFile", record) == 0) return false;
    char named[kPathSize], folder[kPathSize];
    DWORD n = ReadText("Root", "Named", named, sizeof named, record);
    if (n == 0 || n >= sizeof named - 1 || !OwnFolder(folder, sizeof folder)) return false;
    return SameFolder(named, folder);
}

void StartSelfRemoval() {
    char exe[kPathSize], folder[kPathSize];
    if (!OwnExecutablePath(exe, sizeof exe) || !OwnFolder(folder, sizeof folder)) return;
    char command[2 * kPathSize];
    if (!FormatHandOverCommand(command, sizeof command, exe, "remove")) return;
    SetEnvironmentVariableA(kHandOverVariable, folder);
    HandOverTo(command, -1);
    SetEnvironmentVariableA(kHandOverVariable, nullptr);
}

bool SelfRemovalWasHandedOver() {
    char handed[kPathSize], folder[kPathSize];
    DWORD n = GetEnvironmentVariableA(kHandOverVariable, handed, sizeof handed);
    SetEnvironmentVariableA(kHandOverVariable, nullptr);  // not for the batch file's process
    return n > 0 && n < sizeof handed && OwnFolder(folder, sizeof folder) && SameFolder(handed, folder);
}

namespace {
// Doubles every "%" of text into out (a batch file would expand it as a variable).
bool AppendEscaped(char* out, size_t cap, const char* text) {
    for (const char* p = text; *p; ++p) {
        char piece[3] = {*p, *p == '%' ? '%' : '\0', 0};
        if (!AppendBounded(out, cap, piece)) return false;
    }
    return true;
}
}  // namespace

bool FormatRemovalBatch(char* out, size_t cap, const char* exePath, const char* folder, const char* batchPath) {
    if (!CopyBounded(out, cap, ":Repeat\r\ndel \"")) return false;
    bool ok = AppendEscaped(out, cap, exePath) && AppendBounded(out, cap, "\"\r\nif exist \"") &&
              AppendEscaped(out, cap, exePath) && AppendBounded(out, cap, "\" goto Repeat\r\n");
    if (folder) {
        ok = ok && AppendBounded(out, cap, "rmdir \"") && AppendEscaped(out, cap, folder) &&
             AppendBounded(out, cap, "\"\r\n");
    }
    ok = ok && AppendBounded(out, cap, "del \"") && AppendEscaped(out, cap, batchPath) &&
         AppendBounded(out, cap, "\"\r\n");
    if (!ok) out[0] = 0;  // a cut batch file could delete the wrong thing
    return ok;
}

bool ToOemText(const char* ansi, char* out, size_t cap, UINT ansiCodePage, UINT oemCodePage) {
    if (!out || cap == 0) return false;
    out[0] = 0;
    WCHAR wide[kPathSize];
    int n = MultiByteToWideChar(ansiCodePage, MB_ERR_INVALID_CHARS, ansi, -1, wide, kPathSize);
    if (n <= 0) return false;
    BOOL lossy = FALSE;
    int m = WideCharToMultiByte(oemCodePage, 0, wide, -1, out, (int)cap, nullptr, &lossy);
    if (m <= 0 || lossy) {
        out[0] = 0;
        return false;
    }
    return true;
}

// When no batch file can do it, the executable and its folder go at the next restart.
static void RemoveAtRestart(const char* exe, const char* folder) {
    char path[kPathSize];
    CopyBounded(path, sizeof path, exe);
    ReplaceAtRestart(path, nullptr);
    if (!folder) return;
    CopyBounded(path, sizeof path, folder);
    ReplaceAtRestart(path, nullptr);
}

// A new file (never one that was there) in a private folder: the looping command processor
// reads it again and again with the rights of the uninstall.
static bool WriteBatchFile(const char* path, const char* text) {
    UniqueFile batch(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!batch) return false;
    DWORD size = (DWORD)strlen(text), written = 0;
    if (WriteFile(batch.get(), text, size, &written, nullptr) && written == size) return true;
    batch.reset();
    DeleteFileA(path);  // half a batch file might loop or delete something else
    return false;
}

static void RemoveByBatchFile() {
    char exe[kPathSize];
    if (!OwnExecutablePath(exe, sizeof exe)) return;
    char folder[kPathSize];
    CopyBounded(folder, sizeof folder, exe);
    char* bs = FindLastBackslash(folder);
    if (bs) *bs = 0;
    const char* removable = MayRemoveOwnFolder(exe, folder) ? folder : nullptr;
    // A read-only copy (from read-only media) would keep the batch file looping forever.
    SetFileAttributesA(exe, FILE_ATTRIBUTE_NORMAL);
    char batchFolder[kPathSize], batchPath[kPathSize];
    if (!MakePrivateFolder(batchFolder, sizeof batchFolder)) {
        RemoveAtRestart(exe, removable);
        return;
    }
    CopyBounded(batchPath, sizeof batchPath, batchFolder);
    // The command processor reads batch files in the OEM code page.
    char exeOem[kPathSize], folderOem[kPathSize], batchOem[kPathSize];
    char text[2400];  // room for four paths of 259 bytes with every byte a doubled "%"
    char command[kPathSize + 2];
    if (!JoinPath(batchPath, kBatchName) || !ToOemText(exe, exeOem, sizeof exeOem, CP_ACP, CP_OEMCP) ||
        (removable && !ToOemText(folder, folderOem, sizeof folderOem, CP_ACP, CP_OEMCP)) ||
        !ToOemText(batchPath, batchOem, sizeof batchOem, CP_ACP, CP_OEMCP) ||
        !FormatRemovalBatch(text, sizeof text, exeOem, removable ? folderOem : nullptr, batchOem) ||
        !FormatBounded(command, sizeof command, "\"%s\"", batchPath) || !WriteBatchFile(batchPath, text)) {
        RemoveDirectoryA(batchFolder);
        RemoveAtRestart(exe, removable);
        return;
    }
    if (!HandOverTo(command, SW_HIDE)) {
        DeleteFileA(batchPath);
        RemoveDirectoryA(batchFolder);
        RemoveAtRestart(exe, removable);
    }
}

#if !defined(_WIN64)
namespace {
// Position-independent i386 code: everything goes through the block in ebx.
const unsigned char kRemovalRoutine[] = {
    0x8B, 0x5C, 0x24, 0x04,              // mov ebx, [esp+4]
    0xFF, 0x33,                          // push dword [ebx]          module
    0xFF, 0x53, 0x04,                    // call [ebx+4]              FreeLibrary
    0x8D, 0x43, 0x0C,                    // lea eax, [ebx+12]         path
    0x50,                                // push eax
    0xFF, 0x53, 0x08,                    // call [ebx+8]              DeleteFileA
    0x8B, 0x83, 0x10, 0x01, 0x00, 0x00,  // mov eax, [ebx+272]        RemoveDirectoryA
    0x85, 0xC0,                          // test eax, eax
    0x74, 0x09,                          // jz +9
    0x8D, 0x8B, 0x14, 0x01, 0x00, 0x00,  // lea ecx, [ebx+276]        folder
    0x51,                                // push ecx
    0xFF, 0xD0,                          // call eax
    0xFF, 0xB3, 0x1C, 0x02, 0x00, 0x00,  // push dword [ebx+540]      exit code
    0xFF, 0x93, 0x18, 0x02, 0x00, 0x00,  // call [ebx+536]            ExitProcess
};
}  // namespace

bool FillRemovalBlock(RemovalBlock* block) {
    HMODULE kernel = GetModuleHandleA("KERNEL32");
    if (!kernel) return false;
    block->module = (uint32_t)(uintptr_t)GetModuleHandleA(nullptr);
    block->freeLibrary = (uint32_t)(uintptr_t)GetProcAddress(kernel, "FreeLibrary");
    block->deleteFile = (uint32_t)(uintptr_t)GetProcAddress(kernel, "DeleteFileA");
    block->removeDirectory = (uint32_t)(uintptr_t)GetProcAddress(kernel, "RemoveDirectoryA");
    block->exitProcess = (uint32_t)(uintptr_t)GetProcAddress(kernel, "ExitProcess");
    block->exitCode = 0;
    if (!block->freeLibrary || !block->deleteFile || !block->exitProcess) return false;
    if (!OwnExecutablePath(block->path, sizeof block->path)) return false;
    CopyBounded(block->folder, sizeof block->folder, block->path);
    char* bs = FindLastBackslash(block->folder);
    if (bs) *bs = 0;
    if (!MayRemoveOwnFolder(block->path, block->folder)) block->removeDirectory = 0;
    return true;
}

void* PlaceRemovalRoutine() {
    // The routine must run from memory that outlives the image and may execute.
    void* code = VirtualAlloc(nullptr, sizeof kRemovalRoutine, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    if (!code) return nullptr;
    memcpy(code, kRemovalRoutine, sizeof kRemovalRoutine);
    FlushInstructionCache(GetCurrentProcess(), code, sizeof kRemovalRoutine);
    return code;
}

static void RemoveFromMemory() {
    RemovalBlock* block = static_cast<RemovalBlock*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *block));
    if (!block || !FillRemovalBlock(block)) return;
    void* code = PlaceRemovalRoutine();
    if (!code) return;
    reinterpret_cast<void(__cdecl*)(RemovalBlock*)>(code)(block);
}
#endif

void RemoveSelf() {
    SystemFamily family = OsFamily();
    if (family == SystemFamily::Unknown) return;
#if !defined(_WIN64)
    if (family == SystemFamily::Win9x) {
        RemoveFromMemory();
        return;
    }
#endif
    RemoveByBatchFile();
}
