#include "ui_driver.h"
#include <vector>
#include "res/resource.h"

namespace ui {

Program::~Program() {
    Kill();
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
}

bool Program::Start(const std::string& exe, const std::string& args, const std::string& folder) {
    std::string command = "\"" + exe + "\"";
    if (!args.empty()) command += " " + args;
    std::vector<char> buffer(command.begin(), command.end());
    buffer.push_back(0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info) != FALSE;
}

bool Program::Wait(DWORD ms, DWORD* exitCode) const {
    if (!info.hProcess) return true;
    if (WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(info.hProcess, exitCode);
    return true;
}

void Program::Kill() {
    if (info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
}

namespace {
struct Search {
    DWORD pid;
    const wchar_t* className;
    const wchar_t* caption;
    bool (*accept)(HWND, void*);
    void* context;
    HWND found;
};

BOOL CALLBACK VisitTop(HWND window, LPARAM param) {
    Search* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->pid || !IsWindowVisible(window)) return TRUE;
    if (s->className) {
        wchar_t cls[128];
        GetClassNameW(window, cls, 128);
        if (lstrcmpW(cls, s->className) != 0) return TRUE;
    }
    if (s->caption && Text(window) != s->caption) return TRUE;
    if (s->accept && !s->accept(window, s->context)) return TRUE;
    s->found = window;
    return FALSE;
}

HWND Find(DWORD pid, const wchar_t* className, const wchar_t* caption, bool (*accept)(HWND, void*),
          void* context) {
    Search s{pid, className, caption, accept, context, nullptr};
    EnumWindows(VisitTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool IsMainDialog(HWND window, void*) { return GetDlgItem(window, IDC_FOLDER) != nullptr; }
bool IsReadmeDialog(HWND window, void*) { return GetDlgItem(window, IDC_README_END) != nullptr; }
// Not the main dialog, not the ReadMe dialog, and not the captionless backdrop window.
bool IsMessageBox(HWND window, void* skip) {
    return window != static_cast<HWND>(skip) && GetDlgItem(window, IDC_FOLDER) == nullptr &&
           GetDlgItem(window, IDC_README_END) == nullptr &&
           (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}
}  // namespace

HWND FindTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption) {
    return Find(pid, className, caption, nullptr, nullptr);
}

HWND WaitForTopWindow(DWORD pid, const wchar_t* className, const wchar_t* caption, DWORD ms) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(pid, className, caption)) != nullptr; }, ms);
    return found;
}

HWND WaitForMainDialog(DWORD pid, DWORD ms) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = Find(pid, L"#32770", nullptr, IsMainDialog, nullptr)) != nullptr; }, ms);
    return found;
}

HWND WaitForReadmeDialog(DWORD pid, DWORD ms) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = Find(pid, L"#32770", nullptr, IsReadmeDialog, nullptr)) != nullptr; }, ms);
    return found;
}

HWND WaitForMessageBox(DWORD pid, DWORD ms, HWND skip) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = Find(pid, L"#32770", nullptr, IsMessageBox, skip)) != nullptr; }, ms);
    return found;
}

bool HasVisibleWindow(DWORD pid) { return Find(pid, nullptr, nullptr, nullptr, nullptr) != nullptr; }

namespace {

BOOL CALLBACK AddUnpainted(HWND child, LPARAM unpainted) {
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) ++*reinterpret_cast<int*>(unpainted);
    return TRUE;
}

}  // namespace

bool Painted(HWND window) {
    if (!IsWindow(window) || !IsWindowVisible(window) || GetUpdateRect(window, nullptr, FALSE)) return false;
    int unpainted = 0;
    EnumChildWindows(window, AddUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    return unpainted == 0;
}

bool WaitForPaint(HWND window, DWORD ms) {
    if (!WaitUntil([&] { return Painted(window); }, ms, 20)) return false;
    Sleep(kSurfaceFlushMs);
    return true;
}

bool WaitForScreenPaint(DWORD ms) { return WaitForPaint(GetDesktopWindow(), ms); }

bool Uncovered(HWND window) {
    RECT mine = WindowRect(window), above, overlap;
    for (HWND w = GetWindow(window, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        if (IsWindowVisible(w) && GetWindowRect(w, &above) && IntersectRect(&overlap, &mine, &above)) return false;
    return IsWindowVisible(window) != FALSE;
}

std::wstring Text(HWND window) {
    if (!window) return L"";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return L"";
    std::vector<wchar_t> buffer(length + 2);
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, 2000, &copied);
    return std::wstring(buffer.data());
}

std::wstring ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

namespace {
BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
    wchar_t cls[64];
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") != 0) return TRUE;
    std::wstring* best = reinterpret_cast<std::wstring*>(param);
    std::wstring text = Text(child);
    if (text.size() > best->size()) *best = text;
    return TRUE;
}
}  // namespace

std::wstring MessageBoxText(HWND box) {
    std::wstring best;
    EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&best));
    return best;
}

bool Visible(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Enabled(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item && IsWindowEnabled(item);
}

bool Checked(HWND dialog, int id) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
    return state == BST_CHECKED;
}

bool ReadOnly(HWND dialog, int id) {
    return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & ES_READONLY) != 0;
}

RECT ItemRect(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Key(HWND window, WPARAM virtualKey) {
    PostMessageW(window, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(window, WM_KEYUP, virtualKey, 0xC0000001);
}

namespace {
// The window with the focus in the dialog's program, once the dialog is in front; null: none.
HWND FocusIn(HWND dialog) {
    SetForegroundWindow(dialog);
    HWND focus = nullptr;
    bool found = WaitUntil([&] {
        GUITHREADINFO info{sizeof info};
        if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) focus = info.hwndFocus;
        return focus && (focus == dialog || IsChild(dialog, focus));
    }, 3000);
    return found ? focus : nullptr;
}
}  // namespace

bool KeyToFocus(HWND dialog, WPARAM virtualKey) {
    HWND focus = FocusIn(dialog);
    Key(focus ? focus : dialog, virtualKey);
    return focus != nullptr;
}

int FocusId(HWND dialog) {
    HWND focus = FocusIn(dialog);
    return focus ? GetDlgCtrlID(focus) : -1;
}

void Type(HWND window, wchar_t character) { PostMessageW(window, WM_CHAR, character, 1); }

void CloseBox(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

DWORD Selection(HWND dialog, int id) {
    DWORD_PTR range = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &range);
    return (DWORD)range;
}

std::vector<int> CharacterLefts(HWND dialog, int id, int count) {
    std::vector<int> lefts;
    for (int i = 0; i < count; ++i) {
        DWORD_PTR at = 0;
        if (!SendMessageTimeoutW(GetDlgItem(dialog, id), EM_POSFROMCHAR, i, 0, SMTO_ABORTIFHUNG, 2000, &at)) break;
        lefts.push_back((short)LOWORD(at));
    }
    return lefts;
}

bool SaveScreenshot(const std::string& path) {
    HDC screen = GetDC(nullptr);
    int w = GetDeviceCaps(screen, HORZRES), h = GetDeviceCaps(screen, VERTRES);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 24;
    DWORD stride = ((DWORD)w * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels((size_t)stride * h);
    GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + (DWORD)pixels.size();
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written;
    WriteFile(out, &file, sizeof file, &written, nullptr);
    WriteFile(out, &header, sizeof header, &written, nullptr);
    WriteFile(out, pixels.data(), (DWORD)pixels.size(), &written, nullptr);
    CloseHandle(out);
    return true;
}

std::wstring Widen(const char* text, UINT codePage) {
    int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(codePage, 0, text, -1, &out[0], n);
    return out;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    int n = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(codePage, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace ui
