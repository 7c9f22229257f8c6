#include "draw/backdrop_picture.h"
#include <string.h>
#include "base/growable_text.h"
#include "base/handles.h"
#include "draw/drawing.h"
#include "script/script.h"

void PaintBackdrop(HDC surface, int left, int top, int right, int bottom, const char* baseFolder,
                   const char* scriptPath) {
    // Copies of [Back] 0, 1, ... up to the first missing or empty key, owned for this call.
    GrowableText copies;
    int count = 0;
    ForEachNumberedKey(scriptPath, "Back", 0, [&](int, const char* value) {
        if (!copies.Append(value, strlen(value) + 1)) return false;  // out of memory: draw what was read
        ++count;
        return true;
    });
    HeapBuffer lines(count * sizeof(const char*));
    if (!lines) return;
    const char** list = reinterpret_cast<const char**>(lines.data());
    const char* p = copies.data();
    for (int i = 0; i < count; p += strlen(p) + 1) list[i++] = p;
    RECT area = {left, top, right, bottom};
    RunDrawingCommands(surface, area, baseFolder, list, count);
}

void BackdropSurface::Prepare(const RECT& area, const char* scriptPath) {
    {
        HWND desktop = GetDesktopWindow();
        WindowDC screen(desktop);
        dc.reset(CreateCompatibleDC(screen.get()));
        bitmap.reset(CreateCompatibleBitmap(screen.get(), area.right - area.left, area.bottom - area.top));
    }
    if (!dc || !bitmap) {
        dc.reset();
        bitmap.reset();
        return;
    }
    previous = SelectObject(dc.get(), bitmap.get());
    FillRect(dc.get(), &area, (HBRUSH)GetStockObject(BLACK_BRUSH));
    char named[kValueSize];
    ReadText("Root", "Named", named, sizeof named, scriptPath);
    PaintBackdrop(dc.get(), area.left, area.top, area.right, area.bottom, named, scriptPath);
}
