// The drawing language: runs a list of drawing commands onto an off-screen surface.
#pragma once
#include <windows.h>

// Paints the commands in order onto surface (a memory device context with a bitmap
// selected). area is the whole surface; percentages, tiling and the whole-area mode
// refer to it. File names are looked up under baseFolder (empty: the current folder),
// then as written. Stops at a page command. Leaves the surface's font as it found
// it, its background mode transparent and its text colour as the last font command
// set it. Nothing is reported: a command that cannot be carried out is skipped.
void RunDrawingCommands(HDC surface, const RECT& area, const char* baseFolder, const char* const* commands,
                        int count);
