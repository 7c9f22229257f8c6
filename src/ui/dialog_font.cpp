#include "ui/dialog_font.h"
#include "script/script.h"

namespace {

BOOL CALLBACK SetControlFont(HWND control, LPARAM font) {
    SendMessageA(control, WM_SETFONT, (WPARAM)font, TRUE);
    return TRUE;
}

}  // namespace

HFONT ApplyWesternFont(HWND dialog) {
    if (UseJapanese()) return nullptr;
    LOGFONTA templateFont{};
    HGDIOBJ current = (HGDIOBJ)SendMessageA(dialog, WM_GETFONT, 0, 0);
    if (!current || GetObjectA(current, sizeof templateFont, &templateFont) == 0) return nullptr;
    LOGFONTA western{};
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        western = metrics.lfMessageFont;
    } else if (GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof western, &western) == 0) {
        return nullptr;
    }
    western.lfHeight = templateFont.lfHeight;
    western.lfWidth = 0;
    HFONT font = CreateFontIndirectA(&western);
    if (font) EnumChildWindows(dialog, SetControlFont, (LPARAM)font);
    return font;
}
