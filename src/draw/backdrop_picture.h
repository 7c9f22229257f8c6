// The full-screen picture drawn from the script's [Back] commands.
#pragma once
#include <windows.h>
#include "base/handles.h"

void PaintBackdrop(HDC surface, int left, int top, int right, int bottom, const char* baseFolder,
                   const char* scriptPath);

// The backdrop picture in a memory surface compatible with the screen, of the area's
// size: black, then [Back] painted over it with [Root] "Named" of the script as the
// base folder. The surface is empty when it could not be made.
struct BackdropSurface {
    UniqueMemDC dc;
    UniqueGdiObject bitmap;
    HGDIOBJ previous = nullptr;

    BackdropSurface() = default;
    BackdropSurface(const BackdropSurface&) = delete;
    BackdropSurface& operator=(const BackdropSurface&) = delete;
    void Prepare(const RECT& area, const char* scriptPath);
    ~BackdropSurface() {
        if (dc && previous) SelectObject(dc.get(), previous);  // before the bitmap goes
    }
};
