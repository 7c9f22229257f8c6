// A progress bar with the current file's name beside it, in one owner-drawn static
// control: it needs no common-controls library, so it looks and works the same on every
// system the program runs on.
#pragma once
#include <windows.h>
#include "run/progress.h"
#include "script/script.h"

class ProgressBar : public FileProgress {
public:
    ProgressBar() = default;
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Made over area (the parent's client coordinates), hidden until a step begins;
    // covered is the control it stands in for meanwhile (hidden while the bar shows).
    void Create(HWND parent, const RECT& area, HWND covered);
    void Begin(size_t total) override;
    void Advance(const char* path) override;
    void End() override;
    // A window without a message loop of its own (the progress-only window) takes its
    // pending messages whenever the bar is drawn, so that it never looks hung.
    void TakeMessagesWhenDrawn() { pump_ = true; }
    // The parent's WM_DRAWITEM for the bar; false when the item is another control's.
    static bool Draw(const DRAWITEMSTRUCT* item);

private:
    void Paint(bool now);

    HWND bar_ = nullptr;
    HWND covered_ = nullptr;
    bool coveredVisible_ = false;
    bool pump_ = false;
    size_t total_ = 0, done_ = 0;
    DWORD lastPaint_ = 0;
    char name_[kPathSize] = "";
};

// How much of width the bar fills after done of total (never more than width).
int FilledWidth(size_t done, size_t total, int width);
// Dispatches the thread's pending messages without waiting for more.
void TakePendingMessages();
