#include "draw/drawing_files.h"
#include <string.h>
#include "draw/bmp_layout.h"
#include "script/paths.h"

UniqueFile OpenDrawingFile(const char* name, const char* baseFolder) {
    char expanded[kPathSize];
    UniqueFile file;
    // A cut path would name another file: only the name as written is tried then.
    if (ExpandPath(name, baseFolder, expanded, false))
        file.reset(CreateFileA(expanded, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) file.reset(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file;
}

UniqueEnhMetaFile LoadDrawingMetaFile(const char* name, const char* baseFolder) {
    char expanded[kPathSize];
    UniqueEnhMetaFile meta;
    if (ExpandPath(name, baseFolder, expanded, false)) meta.reset(GetEnhMetaFileA(expanded));
    if (!meta) meta.reset(GetEnhMetaFileA(name));
    return meta;
}

// The file's size; false when it cannot be had.
static bool FileSize(HANDLE file, uint64_t* size) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *size = ((uint64_t)high << 32) | low;
    return true;
}

// Reads exactly n bytes from the file's current position; false on a short read.
static bool ReadExactly(HANDLE file, void* to, size_t n) {
    char* p = static_cast<char*>(to);
    while (n > 0) {
        DWORD chunk = n > (1u << 24) ? (1u << 24) : (DWORD)n;
        DWORD got = 0;
        if (!ReadFile(file, p, chunk, &got, nullptr) || got == 0) return false;
        p += got;
        n -= got;
    }
    return true;
}

UniqueHeapBlock ReadTextFile(HANDLE file) {
    uint64_t size = 0;
    if (!FileSize(file, &size) || size > kMaxTextFileBytes) return UniqueHeapBlock();
    UniqueHeapBlock text(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (size_t)size + 1));
    if (!text) return text;
    // A file that shrank meanwhile is drawn as far as it was read; the zero stays.
    char* p = static_cast<char*>(text.get());
    for (size_t done = 0; done < size;) {
        DWORD got = 0;
        if (!ReadFile(file, p + done, (DWORD)(size - done), &got, nullptr) || got == 0) break;
        done += got;
    }
    return text;
}

UniqueGdiObject LoadDrawingBitmap(HDC surface, HANDLE file, int32_t* width, int32_t* height) {
    uint64_t size = 0;
    uint8_t head[kBmpHeadersSize];
    BmpLayout layout;
    if (!FileSize(file, &size) || !ReadExactly(file, head, sizeof head) ||
        !ParseBmpLayout(head, sizeof head, size, &layout))
        return UniqueGdiObject();
    // The file's bytes two bytes into the block, so that the information header after
    // the 14-byte file header lies on a 4-byte boundary.
    const size_t used = (size_t)layout.pixelOffset + layout.pixelBytes;
    HeapBuffer bytes(2 + used);
    if (!bytes) return UniqueGdiObject();
    uint8_t* image = reinterpret_cast<uint8_t*>(bytes.data()) + 2;
    memcpy(image, head, sizeof head);
    if (!ReadExactly(file, image + sizeof head, used - sizeof head)) return UniqueGdiObject();
    BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(image + kBmpFileHeaderSize);
    // GDI would take as many table entries as the file's count of colours used says;
    // zero makes it the full table, which was checked to be there.
    info->bmiHeader.biClrUsed = 0;
    info->bmiHeader.biClrImportant = 0;
    info->bmiHeader.biSizeImage = layout.pixelBytes;
    *width = layout.width;
    *height = layout.height;
    return UniqueGdiObject(
        CreateDIBitmap(surface, &info->bmiHeader, CBM_INIT, image + layout.pixelOffset, info, DIB_RGB_COLORS));
}
