#include "ui/progress_bar.h"
#include "base/text.h"
#include "res/resource.h"

namespace {
constexpr DWORD kPaintEvery = 50;  // ms: thousands of small files must not wait on drawing
}

int FilledWidth(size_t done, size_t total, int width) {
    if (total == 0 || width <= 0) return 0;
    if (done >= total) return width;
    return (int)((unsigned long long)done * (unsigned)width / total);
}

void ProgressBar::Create(HWND parent, const RECT& area, HWND covered) {
    bar_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_OWNERDRAW, area.left, area.top, area.right - area.left,
                           area.bottom - area.top, parent, (HMENU)(INT_PTR)IDC_PROGRESS, GetModuleHandleA(nullptr),
                           nullptr);
    if (bar_) SetWindowLongPtrA(bar_, GWLP_USERDATA, (LONG_PTR)this);
    covered_ = covered;
}

void ProgressBar::Begin(size_t total) {
    total_ = total;
    done_ = 0;
    name_[0] = 0;
    if (!bar_) return;
    coveredVisible_ = covered_ && IsWindowVisible(covered_);
    if (coveredVisible_) ShowWindow(covered_, SW_HIDE);
    ShowWindow(bar_, SW_SHOW);
    Paint(true);
}

void ProgressBar::Advance(const char* path) {
    ++done_;
    CopyBounded(name_, sizeof name_, LastComponent(path ? path : ""));
    Paint(done_ == total_);
}

void ProgressBar::End() {
    if (!bar_) return;
    ShowWindow(bar_, SW_HIDE);
    if (coveredVisible_) ShowWindow(covered_, SW_SHOW);
    coveredVisible_ = false;
    if (HWND parent = GetParent(bar_)) UpdateWindow(parent);
}

void ProgressBar::Paint(bool now) {
    if (!bar_) return;
    DWORD tick = GetTickCount();
    if (!now && tick - lastPaint_ < kPaintEvery) return;
    lastPaint_ = tick;
    InvalidateRect(bar_, nullptr, FALSE);
    UpdateWindow(bar_);
    if (pump_) TakePendingMessages();
}

void TakePendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool ProgressBar::Draw(const DRAWITEMSTRUCT* item) {
    if (!item || item->CtlID != IDC_PROGRESS) return false;
    auto* self = reinterpret_cast<ProgressBar*>(GetWindowLongPtrA(item->hwndItem, GWLP_USERDATA));
    if (!self) return false;
    HDC dc = item->hDC;
    RECT all = item->rcItem;
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    // The bar takes the left half, the file's name the rest.
    RECT bar = all;
    bar.right = all.left + (all.right - all.left) / 2;
    InflateRect(&bar, 0, -2);
    FrameRect(dc, &bar, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT fill = bar;
    InflateRect(&fill, -2, -2);
    fill.right = fill.left + FilledWidth(self->done_, self->total_, fill.right - fill.left);
    if (fill.right > fill.left) FillRect(dc, &fill, GetSysColorBrush(COLOR_HIGHLIGHT));
    RECT name = all;
    name.left = bar.right + 6;
    HGDIOBJ font = (HGDIOBJ)SendMessageA(GetParent(item->hwndItem), WM_GETFONT, 0, 0);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, self->name_, -1, &name, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
    return true;
}
