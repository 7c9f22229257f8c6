#include "ui/progress_window.h"

namespace {

constexpr char kClassName[] = "SetupProgress";
constexpr int kWidth = 380, kHeight = 110;

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DRAWITEM:
        if (ProgressBar::Draw(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_GETFONT: return (LRESULT)GetStockObject(DEFAULT_GUI_FONT);
    case WM_CLOSE: return 0;  // the run goes on to its end
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool ProgressWindow::Open(HINSTANCE instance, const char* caption) {
    WNDCLASSA c{};
    c.lpfnWndProc = ProgressWindowProc;
    c.hInstance = instance;
    c.hCursor = LoadCursor(nullptr, IDC_WAIT);
    c.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    c.lpszClassName = kClassName;
    RegisterClassA(&c);  // fails harmlessly when it is registered already
    RECT screen;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
    int x = screen.left + (screen.right - screen.left - kWidth) / 2;
    int y = screen.top + (screen.bottom - screen.top - kHeight) / 2;
    window_ = CreateWindowExA(WS_EX_TOPMOST, kClassName, caption, WS_POPUP | WS_CAPTION | WS_BORDER, x, y, kWidth,
                              kHeight, nullptr, nullptr, instance, nullptr);
    if (!window_) return false;
    RECT client;
    GetClientRect(window_, &client);
    step_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, 12,
                            client.right - 24, 20, window_, nullptr, instance, nullptr);
    if (step_) SendMessageA(step_, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    RECT row{12, 40, client.right - 12, 62};
    bar_.Create(window_, row, nullptr);
    bar_.TakeMessagesWhenDrawn();
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    TakePendingMessages();
    return true;
}

void ProgressWindow::SetStep(const char* text) {
    if (!step_) return;
    SetWindowTextA(step_, text);
    UpdateWindow(window_);
    TakePendingMessages();
}

ProgressWindow::~ProgressWindow() {
    if (window_) DestroyWindow(window_);
}
