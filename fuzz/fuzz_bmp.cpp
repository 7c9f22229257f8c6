// Any header bytes and any file size: an accepted layout lies wholly inside the file
// and its sizes agree with each other.
#include <stdlib.h>
#include <string.h>
#include "draw/bmp_layout.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint64_t fileSize = ((uint64_t)in.Number(0) << 8) | in.Byte();
    size_t n = 0;
    const uint8_t* head = in.Rest(&n);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[n ? n : 1]);
    memcpy(exact.get(), head, n);
    BmpLayout layout;
    if (!ParseBmpLayout(exact.get(), n, fileSize, &layout)) return 0;
    if (layout.width < 1 || layout.height < 1) abort();
    if ((uint64_t)layout.pixelOffset + layout.pixelBytes > fileSize) abort();
    if ((uint64_t)layout.rowBytes * (uint64_t)layout.height != layout.pixelBytes) abort();
    if ((uint64_t)layout.rowBytes * 8 < (uint64_t)layout.width * layout.bitsPerPixel) abort();
    if (layout.rowBytes % 4) abort();
    return 0;
}
