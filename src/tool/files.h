// Whole files for the tool's commands.
#pragma once
#include <stddef.h>
#include <string>

// The bytes of the file at path; false when it cannot be read or holds more than limit.
bool ReadWholeFile(const std::string& path, size_t limit, std::string* bytes);
