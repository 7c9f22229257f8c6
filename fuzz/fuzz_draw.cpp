// Drawing command lines: the split, the numbers, the font fields and the geometry of
// bands, images and text never overrun, overflow or divide by zero.
#include <stdlib.h>
#include <string.h>
#include "draw/draw_parse.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    DrawRect work{(int32_t)in.Number(0), (int32_t)in.Number(0), (int32_t)in.Number(0), (int32_t)in.Number(0)};
    DrawRect area{0, 0, (int32_t)in.Number(1 << 16), (int32_t)in.Number(1 << 16)};
    DrawMode mode = (DrawMode)(in.Byte() % 8);
    std::string text = in.Text();
    if (text.size() >= kCommandSize) text.resize(kCommandSize - 1);
    char line[kCommandSize];
    memcpy(line, text.c_str(), text.size() + 1);
    DrawCommand command;
    if (SplitDrawCommand(line, &command)) {
        ParseDrawMode(command.params);
        ParamCursor cursor(command.params);
        int32_t v;
        for (int i = 0; i < 20 && cursor.Coordinate(area.right, &v); ++i) {
        }
        uint32_t colour = 0;
        FontFields font;
        memset(&font, 0, sizeof font);
        ApplyFontCommand(command.params, &colour, &font);
        if (strnlen(font.faceName, kFaceNameSize) >= kFaceNameSize) abort();
        Gradation g = ParseGradation(command.params);
        if (GradationHasBands(mode)) {
            int32_t n = BandCount(g.bands, mode, work);
            if (n < 2 || n > kMaxBands) abort();
            for (int32_t i : {0, 1, n / 2, n - 1}) {
                DrawRect band = GradationBand(mode, work, n, i);
                GradationColour(g, n, i);
                BandShows(mode, band, nullptr, area);
            }
        }
    }
    PlanImage(mode, work, area, (int32_t)in.Number(0), (int32_t)in.Number(0));
    RectAfterText(mode, work, DrawRect{(int32_t)in.Number(0), (int32_t)in.Number(0), (int32_t)in.Number(0),
                                       (int32_t)in.Number(0)});
    return 0;
}
