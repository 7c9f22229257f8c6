// Sealing a product's folder: the SHA-256 of Setup.ini and of every file beside
// Setup.exe, stored in Setup.exe itself, so that the author's signature covers them.
#pragma once
#include <string>
#include <vector>
#include "tool/findings.h"

// Writes the seal of folder into folder\Setup.exe (replacing an earlier one). A signed
// Setup.exe loses its signature and is told so. 0 done, 2 not done.
int SealFolder(const std::string& folder, std::string* report, std::string* errors);

// How folder differs from the seal of its Setup.exe: one line per file. *sealed false
// when Setup.exe carries no seal (nothing to compare).
struct SealDifference {
    std::string name;
    std::string why;  // "changed", "missing", "not a file", "added after sealing"
    bool counts;      // false for a file added after sealing: Setup.exe ignores it
};
bool CompareFolderWithSeal(const std::string& folder, bool* sealed, std::vector<SealDifference>* differences,
                           std::string* problem);

// SetupTool seal --verify: 0 the folder is as sealed, 2 it is not (or there is no seal).
int VerifySeal(const std::string& folder, std::string* report, std::string* errors);

// The check's findings for the seal, if Setup.exe carries one.
void CheckSeal(const std::string& folder, Findings& findings);

// The seal list stored in the Setup.exe at exe; false when it carries none.
bool ReadSealOf(const std::string& exe, std::string* list);

// Whether the PE image in bytes carries a signature (its certificate table), and where
// that table starts. Pure, for the tests.
bool SignatureOf(const std::string& image, size_t* offset, size_t* size, size_t* directoryAt);
