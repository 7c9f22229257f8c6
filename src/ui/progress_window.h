// The window of a progress-only run (/passive): the product's name, the step and the
// progress bar; no question, no button, nothing to close.
#pragma once
#include <windows.h>
#include "ui/progress_bar.h"

class ProgressWindow {
public:
    ProgressWindow() = default;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    ~ProgressWindow();

    // Shows the window, centred on the screen; false when it could not be made (the run
    // then goes on without it).
    bool Open(HINSTANCE instance, const char* caption);
    void SetStep(const char* text);
    FileProgress& Files() { return bar_; }
    HWND window() const { return window_; }

private:
    HWND window_ = nullptr;
    HWND step_ = nullptr;
    ProgressBar bar_;
};
