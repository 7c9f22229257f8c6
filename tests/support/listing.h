// What a folder tree or a registry key holds, as entries sorted by name, for the
// comparisons of before and after a run. Entry names say what they are:
//   "folder C:\App", "file C:\App\a.txt",
//   "key HKEY_CURRENT_USER\Software\App", "value HKEY_CURRENT_USER\Software\App | Name".
// Keys are read with the wide calls, which take paths of any length (Wine's narrow
// ones stop at 259 bytes); names come back in the ANSI code page.
#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace listing {

// Entry name -> what is recorded of it ("" for folders and keys).
using Entries = std::map<std::string, std::string>;

// Whether a path (folder or key, with its root name) and all below it are left out.
using Skip = std::function<bool(const std::string& path)>;

enum class FileDetail {
    None,         // only that it is there
    SizeAndTime,  // size, last-write time and attributes
    Contents,     // the bytes
};

struct FileOptions {
    FileDetail detail = FileDetail::SizeAndTime;
    bool lowerCase = false;  // names folded, for paths spelled otherwise elsewhere
    Skip skip;               // given the path, lower-cased when lowerCase
};

struct KeyOptions {
    REGSAM view = 0;  // KEY_WOW64_64KEY or KEY_WOW64_32KEY; 0: the program's own
    bool lowerCase = false;
    Skip skip;          // given "HKEY_...\path", lower-cased when lowerCase
    int maxDepth = 32;  // below the first key; links in the registry would list forever
};

// Everything below folder (not folder itself). Folders that are reparse points are
// listed, not entered.
void AddFiles(const std::string& folder, const FileOptions& options, Entries* out);
Entries Files(const std::string& folder, const FileOptions& options = FileOptions());

// The key and everything below it; nothing when it cannot be opened.
void AddKeys(HKEY root, const std::string& path, const KeyOptions& options, Entries* out);
Entries Keys(HKEY root, const std::vector<std::string>& paths, const KeyOptions& options = KeyOptions());

const char* RootName(HKEY root);  // "HKEY_CURRENT_USER", ...
// A value's detail: "sz:text", "expand_sz:text" (UTF-16 data with exactly one terminating
// zero), "dword:123" (four bytes); anything else "type N:" and the bytes in hex.
std::string ValueDetail(DWORD type, const BYTE* data, DWORD size);
// The data of a value's detail without its type word ("text", "123", the hex).
std::string Data(const std::string& detail);

// The names directly in folder that pattern matches, sorted; folders end in "\".
std::vector<std::string> Names(const std::string& folder, const std::string& pattern = "*");

// One line an entry, "name = detail" (or the name alone), in name order.
std::string Text(const Entries& entries);
// The entries of after that before lacks or holds with another detail.
Entries Added(const Entries& before, const Entries& after);
// The entries in which two listings differ, one line each ("gone:", "changed:", and
// "new:" when withNew), at most limit lines and a count of the rest; "" when none.
std::string Difference(const Entries& before, const Entries& after, bool withNew = true, int limit = 40);

}  // namespace listing
