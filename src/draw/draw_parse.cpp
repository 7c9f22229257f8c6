#include "draw/draw_parse.h"
#include <string.h>
#include "base/text.h"

// Commas are searched byte by byte: 0x2C is never the trail byte of a double-byte
// character (trail bytes start at 0x40), so a comma byte is always a comma.

int32_t Clamp32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return (int32_t)v;
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool SplitDrawCommand(char* line, DrawCommand* out) {
    static const struct {
        const char* name;
        DrawKeyword keyword;
    } kKeywords[] = {{"mode", DrawKeyword::Mode},     {"page", DrawKeyword::Page},
                     {"rect", DrawKeyword::Rect},     {"gradation", DrawKeyword::Gradation},
                     {"fill", DrawKeyword::Fill},     {"height", DrawKeyword::Height},
                     {"font", DrawKeyword::Font},     {"meta", DrawKeyword::Meta},
                     {"bitmap", DrawKeyword::Bitmap}, {"text", DrawKeyword::Text},
                     {"string", DrawKeyword::String}};
    if (!line) return false;
    if (line[0] == '|') {
        out->keyword = DrawKeyword::String;
        out->params = line + 1;
        return true;
    }
    char* comma = strchr(line, ',');
    if (!comma) return false;
    *comma = 0;
    for (const auto& k : kKeywords) {
        if (EqualsAsciiNoCase(line, k.name)) {
            out->keyword = k.keyword;
            out->params = comma + 1;
            return true;
        }
    }
    return false;  // unknown keywords (a page's button lines among them) do nothing
}

DrawMode ParseDrawMode(const char* word) {
    static const struct {
        const char* name;
        DrawMode mode;
    } kModes[] = {{"point", DrawMode::Point}, {"left", DrawMode::Left},     {"top", DrawMode::Top},
                  {"right", DrawMode::Right}, {"bottom", DrawMode::Bottom}, {"center", DrawMode::Center},
                  {"rect", DrawMode::Rect}};
    for (const auto& m : kModes)
        if (word && EqualsAsciiNoCase(word, m.name)) return m.mode;
    return DrawMode::WholeArea;
}

int32_t ReadInteger(const char* text) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    int64_t value = 0;
    for (; IsDigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > (int64_t)INT32_MAX + 1) value = (int64_t)INT32_MAX + 1;  // saturated; more digits change nothing
    }
    return Clamp32(negative ? -value : value);
}

// The decimal number at text, as atof reads one: blanks, sign, digits, a fraction
// and an exponent. Overlong exponents saturate; the caller bounds the product.
static double ReadDecimal(const char* text) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    double value = 0;
    int scale = 0;  // power of ten applied to the digits read
    for (; IsDigit(*p); ++p) value = value * 10 + (*p - '0');
    if (*p == '.') {
        for (++p; IsDigit(*p); ++p) {
            if (scale > -400) {
                value = value * 10 + (*p - '0');
                --scale;
            }
        }
    }
    if ((*p == 'e' || *p == 'E') && (IsDigit(p[1]) || ((p[1] == '+' || p[1] == '-') && IsDigit(p[2])))) {
        ++p;
        bool down = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        int exponent = 0;
        for (; IsDigit(*p); ++p)
            if (exponent < 1000) exponent = exponent * 10 + (*p - '0');
        scale += down ? -exponent : exponent;
    }
    for (; scale > 0 && value != 0; --scale) {
        value *= 10;
        if (value > 1e300) break;  // already beyond every 32-bit result
    }
    for (; scale < 0 && value != 0; ++scale) value /= 10;
    return negative ? -value : value;
}

int32_t PercentOf(const char* afterPercent, int32_t extent) {
    double v = ReadDecimal(afterPercent) * extent * 0.01;
    if (v != v) return 0;  // infinity times an extent of 0
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return (int32_t)v;  // truncates toward zero
}

const char* ParamCursor::Take() {
    const char* field = next_;
    if (!field) return nullptr;
    const char* comma = strchr(field, ',');
    next_ = comma ? comma + 1 : nullptr;
    return field;
}

bool ParamCursor::Integer(int32_t* out) {
    const char* field = Take();
    if (!field) return false;
    *out = ReadInteger(field);
    return true;
}

bool ParamCursor::Coordinate(int32_t extent, int32_t* out) {
    const char* field = Take();
    if (!field) return false;
    *out = field[0] == '%' ? PercentOf(field + 1, extent) : ReadInteger(field);
    return true;
}

uint32_t ParseColour(ParamCursor& params, uint32_t current) {
    int32_t r = 0, g = ColourGreen(current), b = ColourBlue(current);
    params.Integer(&r) && params.Integer(&g) && params.Integer(&b);
    return ColourOf(r, g, b);
}

void ApplyFontCommand(const char* params, uint32_t* colour, FontFields* font) {
    ParamCursor p(params);
    *colour = ParseColour(p, *colour);
    int32_t* wide[] = {&font->height, &font->width, &font->escapement, &font->orientation, &font->weight};
    for (int32_t* field : wide)
        if (!p.Integer(field)) return;
    uint8_t* narrow[] = {&font->italic,       &font->underline,     &font->strikeOut, &font->charSet,
                         &font->outPrecision, &font->clipPrecision, &font->quality,   &font->pitchAndFamily};
    for (uint8_t* field : narrow) {
        int32_t v;
        if (!p.Integer(&v)) return;
        *field = (uint8_t)(v & 0xFF);
    }
    if (p.Rest()) CopyBounded(font->faceName, sizeof font->faceName, p.Rest());  // cut, never past 31 bytes
}

Gradation ParseGradation(const char* params) {
    Gradation g = {{0, 0, 0}, {0, 0, 0}, kDefaultBands};
    ParamCursor p(params);
    p.Integer(&g.from[0]) && p.Integer(&g.from[1]) && p.Integer(&g.from[2]) && p.Integer(&g.to[0]) &&
        p.Integer(&g.to[1]) && p.Integer(&g.to[2]) && p.Integer(&g.bands);
    return g;
}

bool GradationHasBands(DrawMode mode) {
    return mode == DrawMode::Left || mode == DrawMode::Top || mode == DrawMode::Right ||
           mode == DrawMode::Bottom || mode == DrawMode::Center;
}

int32_t BandCount(int32_t requested, DrawMode mode, const DrawRect& work) {
    int64_t w = (int64_t)work.right - work.left, h = (int64_t)work.bottom - work.top;
    int64_t extent = mode == DrawMode::Left || mode == DrawMode::Right ? w
                     : mode == DrawMode::Top || mode == DrawMode::Bottom ? h
                     : (w > h ? w : h);
    int64_t limit = extent > kDefaultBands ? extent : kDefaultBands;
    if (limit > kMaxBands) limit = kMaxBands;
    if (requested > limit) return (int32_t)limit;
    return requested < 2 ? 2 : requested;
}

DrawRect GradationBand(DrawMode mode, const DrawRect& work, int32_t n, int32_t i) {
    const int64_t L = work.left, T = work.top, R = work.right, B = work.bottom;
    const int64_t W = R - L, H = B - T;
    if (n < 1 || i < 0) return {0, 0, 0, 0};
    switch (mode) {
    case DrawMode::Left: return {Clamp32(L + W * i / n), work.top, Clamp32(L + W * (i + 1) / n), work.bottom};
    case DrawMode::Top: return {work.left, Clamp32(T + H * i / n), work.right, Clamp32(T + H * (i + 1) / n)};
    case DrawMode::Right: return {Clamp32(R - W * (i + 1) / n), work.top, Clamp32(R - W * i / n), work.bottom};
    case DrawMode::Bottom: return {work.left, Clamp32(B - H * (i + 1) / n), work.right, Clamp32(B - H * i / n)};
    case DrawMode::Center: {
        int64_t dx = W * i / n / 2, dy = H * i / n / 2;
        return {Clamp32(L + dx), Clamp32(T + dy), Clamp32(R - dx), Clamp32(B - dy)};
    }
    default: return {0, 0, 0, 0};
    }
}

uint32_t GradationColour(const Gradation& g, int32_t n, int32_t i) {
    int32_t c[3];
    if (n < 1) n = 1;
    for (int k = 0; k < 3; ++k) {
        int64_t d = (int64_t)g.to[k] - g.from[k];
        c[k] = (int32_t)((g.from[k] + d * i / n) & 0xFF);
    }
    return ColourOf(c[0], c[1], c[2]);
}

static DrawRect Intersect(const DrawRect& a, const DrawRect& b) {
    DrawRect r = {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                  a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    return IsEmptyRect(r) ? DrawRect{0, 0, 0, 0} : r;
}

bool BandShows(DrawMode mode, const DrawRect& band, const DrawRect* next, const DrawRect& visible) {
    if (IsEmptyRect(band)) return false;
    DrawRect seen = Intersect(band, visible);
    if (IsEmptyRect(seen)) return false;
    if (mode == DrawMode::Center && next && !IsEmptyRect(*next)) return !(Intersect(*next, visible) == seen);
    return true;
}

ImagePlan PlanImage(DrawMode mode, const DrawRect& work, const DrawRect& area, int32_t w, int32_t h) {
    ImagePlan p = {};
    if (w < 1 || h < 1) return p;  // tiling must advance
    p.draws = true;
    const int64_t AR = area.right, AB = area.bottom;
    // One image at (x, y): a single column and row.
    auto once = [&p](int64_t x, int64_t y) {
        p.x0 = x, p.y0 = y, p.xLimit = x + 1, p.yLimit = y + 1;
    };
    switch (mode) {
    case DrawMode::Point:
        once(work.left, work.top);
        p.after = {0, 0, w, h};
        break;
    case DrawMode::Left:
        p.x0 = 0, p.xLimit = 1, p.y0 = 0, p.yLimit = AB;
        p.after = {0, 0, w, area.bottom};
        break;
    case DrawMode::Top:
        p.x0 = 0, p.xLimit = AR, p.y0 = 0, p.yLimit = 1;
        p.after = {0, 0, area.right, h};
        break;
    case DrawMode::Right:
        p.x0 = AR - w, p.xLimit = AR - w + 1, p.y0 = 0, p.yLimit = AB;
        p.after = {Clamp32(AR - w), 0, area.right, area.bottom};
        break;
    case DrawMode::Bottom:
        p.x0 = 0, p.xLimit = AR, p.y0 = AB - h, p.yLimit = AB - h + 1;
        p.after = {0, Clamp32(AB - h), area.right, area.bottom};
        break;
    case DrawMode::Center: {
        int64_t x = (AR - w) / 2, y = (AB - h) / 2;
        once(x, y);
        p.after = {Clamp32(x), Clamp32(y), Clamp32(x + w), Clamp32(y + h)};
        break;
    }
    case DrawMode::Rect:
        p.stretch = true;
        p.after = work;
        break;
    case DrawMode::WholeArea:
        p.x0 = 0, p.xLimit = AR, p.y0 = 0, p.yLimit = AB;
        p.after = area;
        break;
    }
    return p;
}

bool TextDraws(DrawMode mode) {
    return mode == DrawMode::Right || mode == DrawMode::Bottom || mode == DrawMode::Rect;
}

DrawRect RectAfterText(DrawMode mode, const DrawRect& work, const DrawRect& measured) {
    if (mode == DrawMode::Right) return {measured.right, measured.top, measured.right, measured.bottom};
    if (mode == DrawMode::Bottom) return {measured.left, measured.bottom, measured.right, measured.bottom};
    return work;
}
