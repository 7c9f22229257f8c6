// The files a drawing command names: images, metafiles and text files.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "base/handles.h"

// Text files larger than this are not drawn.
constexpr uint64_t kMaxTextFileBytes = 16u << 20;

// Opens the file under its name expanded against the base folder, else as written;
// an invalid handle when neither opens.
UniqueFile OpenDrawingFile(const char* name, const char* baseFolder);
// The enhanced metafile, looked up the same way; null when none loads.
UniqueEnhMetaFile LoadDrawingMetaFile(const char* name, const char* baseFolder);
// The whole file and a terminating zero; null when it is too large or unreadable.
UniqueHeapBlock ReadTextFile(HANDLE file);
// A BMP file turned into a bitmap compatible with surface; null for a file that is
// not an image this program accepts (see draw/bmp_layout.h).
UniqueGdiObject LoadDrawingBitmap(HDC surface, HANDLE file, int32_t* width, int32_t* height);
