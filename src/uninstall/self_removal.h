// The uninstaller's removal of its own executable and folder.
#pragma once
#include <windows.h>
#include <stdint.h>

// Starts this executable again in its remove mode, telling it (through its environment)
// that an uninstall of its folder hands the removal over.
void StartSelfRemoval();
// In the remove mode: whether the removal was handed over for this executable's folder.
bool SelfRemovalWasHandedOver();
void RemoveSelf();
// Whether the running executable lies in the install folder that the record at path
// names ([Root] "Named" of an install record): only such an uninstaller removes itself.
bool RunsFromInstallFolder(const char* record);
// The batch file that deletes exe, then its folder (null: the folder stays), then itself;
// false when cut. The paths are in the command processor's (OEM) code page; every "%" is
// doubled so that it is not taken for a variable.
bool FormatRemovalBatch(char* out, size_t cap, const char* exePath, const char* folder,
                        const char* batchPath);
// ANSI text converted to the code page the command processor reads batch files in;
// false when it does not fit or holds a character that page cannot express.
bool ToOemText(const char* ansi, char* out, size_t cap, UINT ansiCodePage, UINT oemCodePage);

#if !defined(_WIN64)
// The 9x family's removal from memory: a routine copied out of the executable's image
// frees the image, deletes the file and the folder, and ends the process, all through
// the entry points of this block (the routine addresses its fields by offset).
#pragma pack(push, 1)
struct RemovalBlock {
    uint32_t module;
    uint32_t freeLibrary;
    uint32_t deleteFile;
    char path[260];
    uint32_t removeDirectory;  // 0: the folder is left
    char folder[260];
    uint32_t exitProcess;
    uint32_t exitCode;
};
#pragma pack(pop)
static_assert(sizeof(RemovalBlock) == 544, "the routine addresses the block by these offsets");

// The block for this process: own module, KERNEL32's entry points, own path and folder.
// False when an entry point or the path is missing.
bool FillRemovalBlock(RemovalBlock* block);
// A copy of the routine in fresh executable memory, or null. Called with a block
// (cdecl, or as a thread's start routine) it calls freeLibrary(module),
// deleteFile(path), removeDirectory(folder) when set, then exitProcess(exitCode),
// and never returns.
void* PlaceRemovalRoutine();
#endif
