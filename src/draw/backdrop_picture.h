// The full-screen picture drawn from the script's [Back] commands.
#pragma once
#include <windows.h>

void PaintBackdrop(HDC surface, int left, int top, int right, int bottom, const char* baseFolder,
                   const char* scriptPath);
