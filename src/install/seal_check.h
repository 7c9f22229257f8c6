// The seal of a Setup.exe checked against its folder: the script as the run reads it,
// then every sealed file, before the run changes anything.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string.h>
#include "base/handles.h"
#include "install/seal_list.h"
#include "script/vocabulary.h"

class FileProgress;

// The sealed list this program carries (SetupTool seal), or false when it has none.
bool OwnSeal(const char** data, size_t* size);

enum class SealResult { Holds, Changed, Missing, Damaged };
// Cleared by the constructor: member initialisers would keep an initialised copy in the program.
struct SealVerdict {
    SealVerdict() { memset(this, 0, sizeof *this); }
    SealResult result;    // Holds when cleared
    char name[kPathSize];  // the first file that differs
};

// The list's "Setup.ini" against script, the copy the run works on.
SealVerdict CheckSealedScript(const char* data, size_t size, const char* script);
// Every other file of the list against folder, in the list's order.
SealVerdict CheckSealedFiles(const char* data, size_t size, const char* folder, FileProgress& progress);

// The size and SHA-256 of a file's content; false when it is missing, a folder or
// cannot be read. buffer: a block of at least 4 KiB the caller lends.
bool HashFileContent(const char* path, char* buffer, size_t bufferSize, uint64_t* size, uint8_t hash[32]);

// The files a sealed run copies, each held against change from its check to its copy:
// the check of the whole folder comes before the first copy, and a file swapped in
// between would otherwise be installed as if sealed.
class SealedSources {
public:
    // folder: the setup folder, which the seal's names are relative to. Without a list
    // (data null) or with a damaged one, no file is taken.
    SealedSources(const char* data, size_t size, const char* folder);
    SealedSources(const SealedSources&) = delete;
    SealedSources& operator=(const SealedSources&) = delete;

    enum class Hold { Held, NotSealed, Changed };
    // Opens source so that no one may write, rename or delete it while *held stays open,
    // and checks what it holds against the seal. NotSealed: outside the setup folder or
    // not in the list; Changed: not as sealed, gone or unreadable.
    Hold Take(const char* source, UniqueFile* held);

private:
    HeapBuffer offsets_, buffer_;
    SealIndex index_;
    char folder_[kPathSize];
};

// The refusal: caption and text (the message pair's language), naming the file and why.
void FormatSealRefusal(const SealVerdict& verdict, char* text, size_t cap);
const char* SealRefusalCaption();
