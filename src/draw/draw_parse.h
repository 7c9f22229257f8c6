// The pure half of the drawing language: splitting a command line, reading its
// numbers, mode words and font fields, and the geometry of gradation bands, tiled
// images and text flow. No Windows header, so that it compiles and can be fuzzed on
// any host; drawing.cpp does the painting.
#pragma once
#include <stddef.h>
#include <stdint.h>

constexpr size_t kCommandSize = 260;   // a command is at most 259 bytes
constexpr size_t kFaceNameSize = 32;   // the platform's face name: 31 bytes and a zero
constexpr int32_t kDefaultBands = 64;
constexpr int32_t kMaxBands = 65536;   // beyond any screen's extent

struct DrawRect {
    int32_t left, top, right, bottom;
};
inline bool operator==(const DrawRect& a, const DrawRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool IsEmptyRect(const DrawRect& r) { return r.right <= r.left || r.bottom <= r.top; }

enum class DrawMode : uint8_t { Point, Left, Top, Right, Bottom, Center, Rect, WholeArea };

enum class DrawKeyword : uint8_t {
    Mode, Page, Rect, Gradation, Fill, Height, Font, Meta, Bitmap, Text, String
};

struct DrawCommand {
    DrawKeyword keyword;
    const char* params;  // everything after the first comma (after the bar of a text line)
};

// Splits one command in place (line is a work copy). False for a line that does
// nothing: no comma and no leading bar, or an unknown keyword.
bool SplitDrawCommand(char* line, DrawCommand* out);

// The mode word, compared without case with the whole parameter text.
DrawMode ParseDrawMode(const char* word);

// atoi-style: blanks, a sign, digits; anything else reads 0. Saturates at the
// 32-bit limits instead of wrapping.
int32_t ReadInteger(const char* text);
// "%" values: the decimal number after the percent sign times extent, times 0.01,
// truncated toward zero and kept within 32 bits.
int32_t PercentOf(const char* afterPercent, int32_t extent);

// Comma-separated parameters read one after another; a parameter exists when the
// text before it ended with a comma (the first always exists, perhaps empty).
class ParamCursor {
public:
    explicit ParamCursor(const char* params) : next_(params) {}
    bool Integer(int32_t* out);
    // An integer, or a percentage of extent when the parameter starts with '%'.
    bool Coordinate(int32_t extent, int32_t* out);
    // The text from the next parameter to the end (null when none is left).
    const char* Rest() const { return next_; }

private:
    const char* Take();
    const char* next_;
};

// Colours as the platform holds them: red in the lowest byte.
inline uint32_t ColourOf(int32_t r, int32_t g, int32_t b) {
    return (uint32_t)(r & 0xFF) | ((uint32_t)(g & 0xFF) << 8) | ((uint32_t)(b & 0xFF) << 16);
}
inline int32_t ColourRed(uint32_t c) { return (int32_t)(c & 0xFF); }
inline int32_t ColourGreen(uint32_t c) { return (int32_t)((c >> 8) & 0xFF); }
inline int32_t ColourBlue(uint32_t c) { return (int32_t)((c >> 16) & 0xFF); }

// red (0 when empty), then green and blue defaulting to the current colour's.
uint32_t ParseColour(ParamCursor& params, uint32_t current);

// The platform's font description, field for field in its order.
struct FontFields {
    int32_t height, width, escapement, orientation, weight;
    uint8_t italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily;
    char faceName[kFaceNameSize];
};
// The font command: colour, then the fields as far as commas go; the face name is
// everything after the sixteenth comma, cut to 31 bytes.
void ApplyFontCommand(const char* params, uint32_t* colour, FontFields* font);

struct Gradation {
    int32_t from[3], to[3];  // red, green, blue as written
    int32_t bands;           // as written; kDefaultBands when absent
};
Gradation ParseGradation(const char* params);
// Whether the mode gives gradation bands a direction.
bool GradationHasBands(DrawMode mode);
// At least 2 bands, and no more than the rectangle has pixels in the gradation's
// direction (nor kMaxBands): more would only paint empty bands.
int32_t BandCount(int32_t requested, DrawMode mode, const DrawRect& work);
// Band i of n over the working rectangle; products in 64 bits, divided afterwards.
DrawRect GradationBand(DrawMode mode, const DrawRect& work, int32_t n, int32_t i);
uint32_t GradationColour(const Gradation& g, int32_t n, int32_t i);
// Whether painting band i changes anything inside the visible rectangle: it must reach
// into it, and in mode center the next (inner) band must not cover all of it there.
bool BandShows(DrawMode mode, const DrawRect& band, const DrawRect* next, const DrawRect& visible);

// Where an image of w x h goes: tiles start at (x0, y0) and repeat by w and h while
// x < xLimit and y < yLimit; in mode rect it is stretched into the working rectangle.
struct ImagePlan {
    bool draws;
    bool stretch;
    int64_t x0, y0, xLimit, yLimit;
    DrawRect after;  // the working rectangle afterwards
};
ImagePlan PlanImage(DrawMode mode, const DrawRect& work, const DrawRect& area, int32_t w, int32_t h);

// Text is drawn in modes right, bottom (flowing) and rect (clipped to the working rectangle).
bool TextDraws(DrawMode mode);
// The working rectangle after text measured at `measured` in mode right or bottom.
DrawRect RectAfterText(DrawMode mode, const DrawRect& work, const DrawRect& measured);

int32_t Clamp32(int64_t v);
