// Finds and drives the windows of another process from a test: texts (exact
// Unicode), states, positions, clicks, message boxes and screenshots.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace ui {

struct Program {
    PROCESS_INFORMATION info{};
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    bool Start(const std::string& exe, const std::string& args, const std::string& folder);
    DWORD pid() const { return info.dwProcessId; }
    bool Wait(DWORD ms, DWORD* exitCode = nullptr) const;  // false on time-out
    void Kill();
};

// A visible top-level window of the process whose class and caption match (null = any).
HWND FindTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption);
HWND WaitForTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption, DWORD ms);
// The main dialog: a visible top-level dialog with the folder field (IDC_FOLDER).
HWND WaitForMainDialog(DWORD pid, DWORD ms);
// A message box: a visible dialog of the process without IDC_FOLDER or IDC_README_END (and other than skip).
HWND WaitForMessageBox(DWORD pid, DWORD ms, HWND skip = nullptr);
// The ReadMe dialog: a visible top-level dialog with its end button (IDC_README_END).
HWND WaitForReadmeDialog(DWORD pid, DWORD ms);
// Whether any visible top-level window of the process exists.
bool HasVisibleWindow(DWORD pid);
// Whether a window and its visible controls are shown and have nothing left to paint.
bool Painted(HWND window);
// Waits until Painted(window) and what it painted is on the screen; false after ms.
bool WaitForPaint(HWND window, DWORD ms = 10000);
// The same for every visible window on the screen: what a screenshot then shows is final.
bool WaitForScreenPaint(DWORD ms = 10000);
// Whether a top-level window is shown with no visible window above it overlapping it.
bool Uncovered(HWND window);

std::wstring Text(HWND window);
std::wstring ItemText(HWND dialog, int id);
std::wstring MessageBoxText(HWND box);  // the message, without the caption
bool Visible(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);
bool ReadOnly(HWND dialog, int id);
RECT ItemRect(HWND dialog, int id);  // in the dialog's client coordinates
RECT WindowRect(HWND window);
void Click(HWND dialog, int id);  // posted, so a click that starts a long run never blocks
void Key(HWND window, WPARAM virtualKey);
// A key as the keyboard gives it: to the control that has the focus in the dialog's
// program (the dialog is brought to the front first, since a program in the background
// reports no focus). False when no focus was found: the key then goes to the dialog.
bool KeyToFocus(HWND dialog, WPARAM virtualKey);
// The control id of the dialog's focus (the dialog is brought to the front); -1: none.
int FocusId(HWND dialog);
void Type(HWND window, wchar_t character);  // a typed character, as the keyboard would post it
void CloseBox(HWND window);                 // the caption's close box (the system menu's Close)
// An edit control's selection: start in the low word, end in the high word.
DWORD Selection(HWND dialog, int id);
// The left edges of the first count characters of an edit control, in its client
// coordinates. A control's font cannot be read from another process under Wine
// (WM_GETFONT answers nothing there), but where its characters stand shows which font it has.
std::vector<int> CharacterLefts(HWND dialog, int id, int count);

// A window's painting reaches the screen when Wine next copies the window's surface there,
// a moment after the paint; a screenshot taken this long after it sees it.
constexpr DWORD kSurfaceFlushMs = 100;

// Polls until pred() holds or ms pass.
template <typename Pred>
bool WaitUntil(Pred pred, DWORD ms, DWORD step = 50) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(step);
    }
}

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::string& path);

// Text conversions for comparisons with the ANSI-side values.
std::wstring Widen(const char* text, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& text, UINT codePage = CP_UTF8);

}  // namespace ui
