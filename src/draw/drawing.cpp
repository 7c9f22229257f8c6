#include "draw/drawing.h"
#include <string.h>
#include "base/handles.h"
#include "base/text.h"
#include "draw/draw_parse.h"
#include "draw/drawing_files.h"

namespace {

RECT ToRect(const DrawRect& r) { return {r.left, r.top, r.right, r.bottom}; }
DrawRect FromRect(const RECT& r) {
    return {(int32_t)r.left, (int32_t)r.top, (int32_t)r.right, (int32_t)r.bottom};
}

// The state of one run; it starts fresh for every call.
class Drawing {
public:
    Drawing(HDC surface, const RECT& area, const char* baseFolder)
        : dc_(surface), area_(FromRect(area)), base_(baseFolder ? baseFolder : "") {}
    ~Drawing() {
        if (font_) SelectObject(dc_, previousFont_);  // before the created font goes
    }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

    // False at a page command: the run ends there.
    bool Run(const DrawCommand& c);

private:
    void SetRect(const char* params);
    void Gradate(const char* params);
    void Fill(const char* params);
    void SetHeight(const char* params);
    void SetFont(const char* params);
    void ChangeFont();
    void PlayMeta(const char* name);
    void PlaceBitmap(const char* name);
    void TileImage(HDC image, const ImagePlan& plan, int32_t w, int32_t h);
    void DrawTextFile(const char* name);
    void DrawLine(const char* text, bool singleLine);
    void FillWith(const DrawRect& r, uint32_t colour);

    HDC dc_;
    const DrawRect area_;
    const char* base_;
    DrawMode mode_ = DrawMode::Point;
    DrawRect work_ = {0, 0, 0, 0};
    uint32_t colour_ = 0;
    FontFields fontFields_ = {};
    UniqueGdiObject font_;
    HGDIOBJ previousFont_ = nullptr;
};

bool Drawing::Run(const DrawCommand& c) {
    switch (c.keyword) {
    case DrawKeyword::Page: return false;
    case DrawKeyword::Mode: mode_ = ParseDrawMode(c.params); break;
    case DrawKeyword::Rect: SetRect(c.params); break;
    case DrawKeyword::Gradation: Gradate(c.params); break;
    case DrawKeyword::Fill: Fill(c.params); break;
    case DrawKeyword::Height: SetHeight(c.params); break;
    case DrawKeyword::Font: SetFont(c.params); break;
    case DrawKeyword::Meta: PlayMeta(c.params); break;
    case DrawKeyword::Bitmap: PlaceBitmap(c.params); break;
    case DrawKeyword::Text: DrawTextFile(c.params); break;
    case DrawKeyword::String: DrawLine(c.params, true); break;
    }
    return true;
}

void Drawing::FillWith(const DrawRect& r, uint32_t colour) {
    if (IsEmptyRect(r)) return;  // an inverted rectangle is empty, not mirrored
    UniqueGdiObject brush(CreateSolidBrush(colour));
    if (!brush) return;
    RECT rect = ToRect(r);
    FillRect(dc_, &rect, static_cast<HBRUSH>(brush.get()));
}

void Drawing::SetRect(const char* params) {
    ParamCursor p(params);
    p.Coordinate(area_.right, &work_.left) && p.Coordinate(area_.bottom, &work_.top) &&
        p.Coordinate(area_.right, &work_.right) && p.Coordinate(area_.bottom, &work_.bottom);
}

void Drawing::Gradate(const char* params) {
    Gradation g = ParseGradation(params);
    colour_ = ColourOf(g.to[0], g.to[1], g.to[2]);
    if (!GradationHasBands(mode_)) return;
    RECT clip;
    if (GetClipBox(dc_, &clip) <= NULLREGION) return;
    const DrawRect visible = FromRect(clip);
    const int32_t n = BandCount(g.bands, mode_, work_);
    // Bands narrower than a pixel, outside the surface or painted over by the next
    // one are skipped: the picture is the same, without a million fills.
    DrawRect band = GradationBand(mode_, work_, n, 0);
    for (int32_t i = 0; i < n; ++i) {
        DrawRect next = i + 1 < n ? GradationBand(mode_, work_, n, i + 1) : DrawRect{0, 0, 0, 0};
        if (BandShows(mode_, band, i + 1 < n ? &next : nullptr, visible)) FillWith(band, GradationColour(g, n, i));
        band = next;
    }
}

void Drawing::Fill(const char* params) {
    ParamCursor p(params);
    colour_ = ParseColour(p, colour_);
    if (mode_ == DrawMode::Rect) FillWith(work_, colour_);
    if (mode_ == DrawMode::WholeArea) FillWith(area_, colour_);
}

void Drawing::SetHeight(const char* params) {
    ParamCursor p(params);
    p.Coordinate(area_.bottom, &fontFields_.height);
    fontFields_.width = 0;
    ChangeFont();
}

void Drawing::SetFont(const char* params) {
    ApplyFontCommand(params, &colour_, &fontFields_);
    SetTextColor(dc_, colour_);
    ChangeFont();
}

void Drawing::ChangeFont() {
    if (font_) {
        SelectObject(dc_, previousFont_);
        font_.reset();
    }
    const FontFields& f = fontFields_;
    LOGFONTA lf = {};
    lf.lfHeight = f.height;
    lf.lfWidth = f.width;
    lf.lfEscapement = f.escapement;
    lf.lfOrientation = f.orientation;
    lf.lfWeight = f.weight;
    lf.lfItalic = f.italic;
    lf.lfUnderline = f.underline;
    lf.lfStrikeOut = f.strikeOut;
    lf.lfCharSet = f.charSet;
    lf.lfOutPrecision = f.outPrecision;
    lf.lfClipPrecision = f.clipPrecision;
    lf.lfQuality = f.quality;
    lf.lfPitchAndFamily = f.pitchAndFamily;
    static_assert(sizeof lf.lfFaceName == sizeof f.faceName, "face name sizes differ");
    memcpy(lf.lfFaceName, f.faceName, sizeof lf.lfFaceName);
    font_.reset(CreateFontIndirectA(&lf));
    if (font_) previousFont_ = SelectObject(dc_, font_.get());
}

void Drawing::PlayMeta(const char* name) {
    if (mode_ != DrawMode::Rect && mode_ != DrawMode::WholeArea) return;
    UniqueEnhMetaFile meta = LoadDrawingMetaFile(name, base_);
    if (!meta) return;
    RECT target = ToRect(mode_ == DrawMode::Rect ? work_ : area_);
    PlayEnhMetaFile(dc_, meta.get(), &target);
}

void Drawing::PlaceBitmap(const char* name) {
    UniqueFile file = OpenDrawingFile(name, base_);
    if (!file) return;
    int32_t w = 0, h = 0;
    UniqueGdiObject bitmap = LoadDrawingBitmap(dc_, file.get(), &w, &h);
    if (!bitmap) return;
    file.reset();
    UniqueMemDC image(CreateCompatibleDC(dc_));
    if (!image) return;
    SelectScope selected(image.get(), bitmap.get());
    ImagePlan plan = PlanImage(mode_, work_, area_, w, h);
    if (!plan.draws) return;
    if (plan.stretch) {
        StretchBlt(dc_, work_.left, work_.top, Clamp32((int64_t)work_.right - work_.left),
                   Clamp32((int64_t)work_.bottom - work_.top), image.get(), 0, 0, w, h, SRCCOPY);
    } else {
        TileImage(image.get(), plan, w, h);
    }
    work_ = plan.after;
}

// The first tile position from start, stepping by step, that still reaches past edge.
static int64_t FirstReaching(int64_t start, int64_t step, int64_t edge) {
    return edge > start ? start + (edge - start) / step * step : start;
}

void Drawing::TileImage(HDC image, const ImagePlan& plan, int32_t w, int32_t h) {
    RECT clip;
    if (GetClipBox(dc_, &clip) <= NULLREGION) return;
    // Only the tiles that reach into the surface are copied.
    const int64_t xEnd = plan.xLimit < clip.right ? plan.xLimit : clip.right;
    const int64_t yEnd = plan.yLimit < clip.bottom ? plan.yLimit : clip.bottom;
    for (int64_t x = FirstReaching(plan.x0, w, clip.left); x < xEnd; x += w)
        for (int64_t y = FirstReaching(plan.y0, h, clip.top); y < yEnd; y += h)
            BitBlt(dc_, (int)x, (int)y, w, h, image, 0, 0, SRCCOPY);
}

void Drawing::DrawTextFile(const char* name) {
    if (!TextDraws(mode_)) return;
    UniqueFile file = OpenDrawingFile(name, base_);
    if (!file) return;
    UniqueHeapBlock text = ReadTextFile(file.get());
    if (text) DrawLine(static_cast<const char*>(text.get()), false);
}

void Drawing::DrawLine(const char* text, bool singleLine) {
    if (!TextDraws(mode_)) return;
    const UINT flags = singleLine ? DT_SINGLELINE : 0;
    if (mode_ == DrawMode::Rect) {
        RECT r = ToRect(work_);
        DrawTextA(dc_, text, -1, &r, flags);
        return;
    }
    RECT measured = {work_.left, work_.top, work_.left, work_.bottom};
    DrawTextA(dc_, text, -1, &measured, flags | DT_CALCRECT);
    DrawTextA(dc_, text, -1, &measured, flags | DT_NOCLIP);
    work_ = RectAfterText(mode_, work_, FromRect(measured));
}

}  // namespace

void RunDrawingCommands(HDC surface, const RECT& area, const char* baseFolder, const char* const* commands,
                        int count) {
    SetBkMode(surface, TRANSPARENT);
    Drawing drawing(surface, area, baseFolder);
    for (int i = 0; commands && i < count; ++i) {
        if (!commands[i]) continue;
        char line[kCommandSize];
        CopyBounded(line, sizeof line, commands[i]);
        DrawCommand command;
        if (SplitDrawCommand(line, &command) && !drawing.Run(command)) break;
    }
}
