// The tool's output: text in the ANSI code page, shown right on a console and written
// as it is into a pipe or a file.
#pragma once
#include <string>

void Print(const std::string& text);       // standard output
void PrintError(const std::string& text);  // standard error
// Whether two standard handles (STD_OUTPUT_HANDLE, ...) write into the same file.
bool SameFile(unsigned long one, unsigned long other);
