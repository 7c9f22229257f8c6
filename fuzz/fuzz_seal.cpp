// Seal lists of any bytes: a list is sound only when every entry reads and then formats
// back to exactly the bytes it came from (CR LF ends), every name stays inside the setup
// folder, nothing is read past the resource. And SHA-256 of the same bytes fed in any
// pieces gives one digest. The index of a sound list finds each of its names.
#include <stdlib.h>
#include <string.h>
#include <memory>
#include <string>
#include "base/sha256.h"
#include "fuzz_input.h"
#include "install/seal_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The list in a block of exactly its size, as a resource is.
    std::unique_ptr<char[]> list(new char[size ? size : 1]);
    memcpy(list.get(), data, size);
    SealReader reader(list.get(), size);
    if (reader.Check()) {
        SealEntry e;
        size_t n = 0;
        std::string again;
        char line[kPathSize + 128];
        if (!FormatSealHeader(reader.count(), line, sizeof line)) abort();
        again += line;
        while (reader.Next(&e)) {
            if (!IsSealableName(e.name) || e.size > kSealMaxFileSize) abort();
            if (strstr(e.name, ":") || e.name[0] == '\\') abort();
            if (!FormatSealLine(e, line, sizeof line)) abort();
            again += line;
            ++n;
        }
        if (n != reader.count()) abort();
        // A list written with CR LF and lower-case hex reads back to the same entries.
        SealReader second(again.data(), again.size());
        if (!second.Check() || second.count() != n) abort();
        // The index finds every entry of the list under its own name, and the entry it
        // finds carries that name (names may repeat: any of them).
        std::unique_ptr<uint32_t[]> offsets(new uint32_t[n ? n : 1]);
        SealIndex index(list.get(), size, offsets.get(), n);
        if (!index.ok()) abort();
        reader.Rewind();
        while (reader.Next(&e)) {
            SealEntry found;
            if (!index.Find(e.name, &found)) abort();
            if (CompareSealNames(found.name, strlen(found.name), e.name, strlen(e.name)) != 0) abort();
        }
    } else {
        uint32_t room[64];
        if (SealIndex(list.get(), size, room, 64).ok()) abort();  // never an index of a damaged list
    }

    Sha256 whole;
    whole.Add(data, size);
    uint8_t a[32], b[32];
    whole.Finish(a);
    Sha256 pieces;
    size_t at = 0, step = size ? 1 + data[0] % 97 : 1;
    while (at < size) {
        size_t k = step < size - at ? step : size - at;
        pieces.Add(data + at, k);
        at += k;
    }
    pieces.Finish(b);
    if (memcmp(a, b, 32) != 0) abort();
    // The processor's SHA instructions, where there are any, give the same digest.
    if (Sha256::UseProcessorInstructions(true)) {
        Sha256 fast;
        fast.Add(data, size);
        fast.Finish(b);
        Sha256::UseProcessorInstructions(false);
        if (memcmp(a, b, 32) != 0) abort();
    }
    return 0;
}
