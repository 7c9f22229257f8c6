// The ReadMe dialog's procedure dispatches to small handlers over one dialog-data
// record that lives on the opener's stack for exactly as long as the dialog.
#include "ui/readme_dialog.h"
#include <string.h>
#include <new>
#include "run/run_state.h"
#include "base/text.h"
#include "draw/drawing.h"
#include "res/resource.h"
#include "script/paths.h"
#include "script/script.h"
#include "script/section.h"
#include "ui/dialog_font.h"
#include "ui/readme_pages.h"

namespace {

constexpr char kSpecialFile[] = "ReadMe.Special";
const int kButtonIds[kReadmeButtons] = {IDC_README_BUTTON1, IDC_README_BUTTON2, IDC_README_BUTTON3};

// The page surface: a memory context compatible with the dialog, holding a bitmap of
// the page area in place of the one it came with.
class PageSurface {
public:
    PageSurface() = default;
    ~PageSurface() { Dismantle(); }
    PageSurface(const PageSurface&) = delete;
    PageSurface& operator=(const PageSurface&) = delete;

    bool Create(HWND dialog, int width, int height) {
        Dismantle();
        WindowDC window(dialog);
        if (!window.get() || width <= 0 || height <= 0) return false;
        dc_.reset(CreateCompatibleDC(window.get()));
        bitmap_.reset(CreateCompatibleBitmap(window.get(), width, height));
        if (!dc_ || !bitmap_) {
            Dismantle();
            return false;
        }
        previous_ = SelectObject(dc_.get(), bitmap_.get());
        return true;
    }
    // The bitmap it came with goes back in before the page bitmap and the context go.
    void Dismantle() {
        if (dc_ && previous_) SelectObject(dc_.get(), previous_);
        previous_ = nullptr;
        bitmap_.reset();
        dc_.reset();
    }
    HDC dc() const { return dc_.get(); }

private:
    UniqueMemDC dc_;
    UniqueGdiObject bitmap_;
    HGDIOBJ previous_ = nullptr;
};

struct ReadmeDialogData {
    bool hidden = false;  // made only for pictures of it: never shown
    bool agreement = false;
    bool pictures = false;
    bool textIn = false;  // the read-me is in the text box: later changes are the user's
    ReadmePageList list;
    int32_t targets[kReadmeButtons] = {kPageNone, kPageNone, kPageNone};
    RECT pageArea{};
    PageSurface surface;
    char baseFolder[kPathSize] = "";
    UniqueGdiObject font;

    void Release() {
        surface.Dismantle();
        list.Release();
        pictures = false;
    }
};

void Show(HWND dialog, int id, bool visible) { ShowWindow(GetDlgItem(dialog, id), visible ? SW_SHOW : SW_HIDE); }

UniqueFile OpenForReading(const char* path) {
    return UniqueFile(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The file under its name expanded against the base folder (as written when there is no
// base folder), else by the part after the last backslash in the current folder.
UniqueFile OpenReadmeFile(const char* file, const char* baseFolder) {
    char path[kPathSize];
    // A cut path would name another file: then only the bare name is tried.
    bool whole = baseFolder[0] ? ExpandPath(file, baseFolder, path, false) : CopyBounded(path, sizeof path, file);
    if (whole) {
        UniqueFile opened = OpenForReading(path);
        if (opened || !FindLastBackslash(path)) return opened;
        return OpenForReading(LastComponent(path));
    }
    return OpenForReading(LastComponent(file));
}

// Moves the dialog onto the desktop in each direction in which it is larger.
void FitDialogOnScreen(HWND dialog) {
    RECT w{}, d{};
    GetWindowRect(dialog, &w);
    GetWindowRect(GetDesktopWindow(), &d);
    ScreenRect fit = FitOnDesktop({w.left, w.top, w.right, w.bottom}, {d.left, d.top, d.right, d.bottom});
    if (fit.left != w.left || fit.top != w.top || fit.right != w.right || fit.bottom != w.bottom)
        MoveWindow(dialog, fit.left, fit.top, fit.right - fit.left, fit.bottom - fit.top, TRUE);
}

// Targets, captions and visibility of the buttons for page `identifier`, then the page
// drawn over what the surface holds; the dialog repaints from the surface.
void ShowReadmePage(HWND dialog, ReadmeDialogData& d, int32_t identifier) {
    const char* const* lines = d.list.lines();
    const int count = d.list.count();
    const int start = FindPageStart(lines, count, identifier);
    const int end = FindPageEnd(lines, count, start);
    const PageButtons page = ReadPageButtons(lines, start, end);
    for (int b = 0; b < kReadmeButtons; ++b) {
        d.targets[b] = page.target[b];
        if (page.caption[b]) SetDlgItemTextA(dialog, kButtonIds[b], page.caption[b]);
        Show(dialog, kButtonIds[b], ButtonShown(page.target[b]));
    }
    Show(dialog, IDC_README_END, true);
    if (d.surface.dc()) DrawReadmePage(d.surface.dc(), d.pageArea, d.baseFolder, lines, count, identifier);
    InvalidateRect(dialog, nullptr, FALSE);
}

void SetUpPicturePages(HWND dialog, ReadmeDialogData& d) {
    d.list.Read(Script());
    d.pictures = true;
    const RECT& a = d.pageArea;
    if (d.surface.Create(dialog, a.right - a.left, a.bottom - a.top))
        FillRect(d.surface.dc(), &d.pageArea, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    // The page under the buttons is painted by the dialog; the buttons paint themselves.
    SetWindowLongPtrA(dialog, GWL_STYLE, GetWindowLongPtrA(dialog, GWL_STYLE) | WS_CLIPCHILDREN);
    Show(dialog, IDC_README_TEXT, false);
    ShowReadmePage(dialog, d, Run().readmeStartPage);
}

void SetUpTextFile(HWND dialog, ReadmeDialogData& d, const char* file) {
    UniqueHeapBlock text = ReadReadmeText(file, d.baseFolder);
    if (!text) return;
    if (d.agreement) {
        Show(dialog, IDC_README_BUTTON1, true);
        Show(dialog, IDC_README_BUTTON2, true);
        SetDlgItemTextA(dialog, IDC_README_BUTTON1, Msg("I &agree.", "(&A) 同意します"));
        SetDlgItemTextA(dialog, IDC_README_BUTTON2, Msg("&Cancel", "(&C) 中止"));
    }
    SetDlgItemTextA(dialog, IDC_README_TEXT, static_cast<const char*>(text.get()));
    UINT tabStop = 16;
    SendDlgItemMessageA(dialog, IDC_README_TEXT, EM_SETTABSTOPS, 1, (LPARAM)&tabStop);
    if (!d.agreement) {
        RECT client{};
        GetClientRect(dialog, &client);
        MoveWindow(GetDlgItem(dialog, IDC_README_TEXT), 0, 0, client.right, client.bottom, TRUE);
    }
}

BOOL OnInit(HWND dialog, ReadmeDialogData& d) {
    const char* script = Script();
    d.agreement = ReadNumber("Go", "Agree", 0, script) != 0;
    d.font.reset(ApplyWesternFont(dialog));
    char text[kValueSize];
    if (ReadText("Setup", "Name", text, sizeof text, script)) SetWindowTextA(dialog, text);
    if (!UseJapanese()) SetDlgItemTextA(dialog, IDC_README_END, "&End readme");
    FitDialogOnScreen(dialog);
    GetClientRect(dialog, &d.pageArea);
    ReadText("Root", "Named", d.baseFolder, sizeof d.baseFolder, script);
    if (ReadText("Readme", "File", text, sizeof text, script)) {
        if (EqualsAsciiNoCase(text, kSpecialFile)) {
            SetUpPicturePages(dialog, d);
        } else {
            SetUpTextFile(dialog, d, text);
        }
    }
    SetFocus(dialog);
    // On picture pages the focus would land on button 1, where Enter presses it, and in an
    // agreement that is "I agree": on the end button Enter does what Enter should. Posted,
    // so that it follows the dialog manager's own choice when the dialog is activated.
    if (d.pictures) PostMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, IDC_README_END), TRUE);
    if (!d.hidden) ShowWindow(dialog, SW_SHOW);
    SendDlgItemMessageA(dialog, IDC_README_TEXT, EM_SETSEL, 0, 0);
    SendDlgItemMessageA(dialog, IDC_README_TEXT, EM_SCROLLCARET, 0, 0);
    d.textIn = true;
    return FALSE;  // the focus is set
}

void EndReadme(HWND dialog, ReadmeDialogData& d, INT_PTR result) {
    d.Release();
    EndDialog(dialog, result);
}

void OnPageButton(HWND dialog, ReadmeDialogData& d, int button) {
    if (d.agreement && button == 0) return EndReadme(dialog, d, 1);  // agreed
    if (d.agreement && button == 1) return EndReadme(dialog, d, 0);  // refused
    if (d.pictures) ShowReadmePage(dialog, d, d.targets[button]);
}

void OnCommand(HWND dialog, ReadmeDialogData& d, int id, int code) {
    switch (id) {
    case IDOK:
        if (!d.agreement) EndReadme(dialog, d, 1);
        break;
    case IDCANCEL: EndReadme(dialog, d, d.agreement ? 0 : 1); break;
    case IDC_README_END:
        if (code == BN_CLICKED && !d.agreement) EndReadme(dialog, d, 1);
        break;
    case IDC_README_TEXT:
        if (code == EN_CHANGE && d.textIn && !d.agreement) EndReadme(dialog, d, 1);
        break;
    case IDC_README_BUTTON1:
    case IDC_README_BUTTON2:
    case IDC_README_BUTTON3:
        if (code == BN_CLICKED) OnPageButton(dialog, d, id - IDC_README_BUTTON1);
        break;
    }
}

// Copies the part of the page surface that needs repainting to the same place.
BOOL OnPaint(HWND dialog, ReadmeDialogData& d) {
    if (!d.pictures || !d.surface.dc()) return FALSE;
    PaintScope paint(dialog);
    const RECT& update = paint.rect();
    BitBlt(paint.dc(), update.left, update.top, update.right - update.left, update.bottom - update.top,
           d.surface.dc(), update.left, update.top, SRCCOPY);
    return TRUE;
}

INT_PTR CALLBACK ReadmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        return OnInit(dialog, *reinterpret_cast<ReadmeDialogData*>(lParam));
    }
    auto* d = reinterpret_cast<ReadmeDialogData*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (!d) return FALSE;
    switch (message) {
    case WM_COMMAND: OnCommand(dialog, *d, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_PAINT: return OnPaint(dialog, *d);
    case WM_DESTROY: d->Release(); return FALSE;
    }
    return FALSE;
}

// Measures the hidden dialog as the opening places it.
INT_PTR CALLBACK MeasureDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    FitDialogOnScreen(dialog);
    GetClientRect(dialog, reinterpret_cast<RECT*>(lParam));
    return TRUE;
}

}  // namespace

void DrawReadmePage(HDC surface, const RECT& area, const char* baseFolder, const char* const* lines, int count,
                    int32_t identifier) {
    const int start = FindPageStart(lines, count, identifier);
    const int end = FindPageEnd(lines, count, start);
    // Only this page's entries: the drawing also stops at a bare "page" line.
    if (end > start) RunDrawingCommands(surface, area, baseFolder, lines + start, end - start);
}

bool MeasureReadmePageArea(HINSTANCE instance, RECT* area) {
    *area = RECT{};
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_README), nullptr, MeasureDialogProc,
                                     reinterpret_cast<LPARAM>(area));
    if (!dialog) return false;
    DestroyWindow(dialog);
    return area->right > area->left && area->bottom > area->top;
}

bool HiddenReadmeDialog::Open(HINSTANCE instance) {
    Close();
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(ReadmeDialogData));
    if (!memory) return false;
    ReadmeDialogData* data = new (memory) ReadmeDialogData;
    data->hidden = true;
    data_ = data;
    window_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_README), nullptr, ReadmeDialogProc,
                                 reinterpret_cast<LPARAM>(data));
    if (window_) ShowWindow(window_, SW_HIDE);
    return window_ != nullptr;
}

void HiddenReadmeDialog::Close() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    if (!data_) return;
    static_cast<ReadmeDialogData*>(data_)->~ReadmeDialogData();
    HeapFree(GetProcessHeap(), 0, data_);
    data_ = nullptr;
}

namespace {

// A vertical scroll bar as the system draws one, from the control's scroll state.
void PaintScrollBar(HDC dc, HWND control, const RECT& bar) {
    const int arrow = GetSystemMetrics(SM_CYVSCROLL);
    RECT up = {bar.left, bar.top, bar.right, bar.top + arrow}, down = {bar.left, bar.bottom - arrow, bar.right, bar.bottom};
    RECT track = {bar.left, up.bottom, bar.right, down.top};
    if (track.bottom < track.top) track.bottom = track.top;
    FillRect(dc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
    DrawFrameControl(dc, &up, DFC_SCROLL, DFCS_SCROLLUP);
    DrawFrameControl(dc, &down, DFC_SCROLL, DFCS_SCROLLDOWN);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    const int length = track.bottom - track.top;
    if (!GetScrollInfo(control, SB_VERT, &info) || info.nMax <= info.nMin || length <= 0) return;
    const long range = (long)info.nMax - info.nMin + 1;
    if (info.nPage == 0 || (long)info.nPage >= range) return;
    long thumb = length * (long)info.nPage / range;
    if (thumb < arrow / 2) thumb = arrow / 2;
    const long travel = range - (long)info.nPage;
    const long at = travel > 0 ? (length - thumb) * ((long)info.nPos - info.nMin) / travel : 0;
    RECT box = {bar.left, track.top + (int)at, bar.right, track.top + (int)(at + thumb)};
    DrawEdge(dc, &box, EDGE_RAISED, BF_RECT | BF_MIDDLE);
}

// The frame of a child control: its edges, border and vertical scroll bar (rect in the
// parent's client coordinates).
void PaintFrame(HDC dc, HWND control, RECT r) {
    const LONG style = GetWindowLongA(control, GWL_STYLE), extended = GetWindowLongA(control, GWL_EXSTYLE);
    if (extended & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (style & WS_BORDER) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (style & WS_VSCROLL) {
        RECT bar = {r.right - GetSystemMetrics(SM_CXVSCROLL), r.top, r.right, r.bottom};
        PaintScrollBar(dc, control, bar);
    }
}

}  // namespace

void PaintWindowInto(HWND window, HDC dc) {
    SendMessageA(window, WM_ERASEBKGND, (WPARAM)dc, 0);
    SendMessageA(window, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
    HWND first = GetWindow(window, GW_CHILD);
    // From the bottom of the order up, so that what lies on top is painted last.
    for (HWND child = first ? GetWindow(first, GW_HWNDLAST) : nullptr; child; child = GetWindow(child, GW_HWNDPREV)) {
        if (!(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) continue;
        RECT frame{}, client{};
        GetWindowRect(child, &frame);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&frame), 2);
        GetClientRect(child, &client);
        POINT at = {0, 0};
        MapWindowPoints(child, window, &at, 1);
        PaintFrame(dc, child, frame);
        int saved = SaveDC(dc);
        POINT origin{};
        GetViewportOrgEx(dc, &origin);
        SetViewportOrgEx(dc, origin.x + at.x, origin.y + at.y, nullptr);
        IntersectClipRect(dc, 0, 0, client.right, client.bottom);
        SendMessageA(child, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT | PRF_ERASEBKGND);
        RestoreDC(dc, saved);
    }
}

INT_PTR OpenReadmeDialog(HWND owner) {
    ReadmeDialogData data;
    INT_PTR result = DialogBoxParamA(Run().instance, MAKEINTRESOURCEA(IDD_README), owner, ReadmeDialogProc,
                                     reinterpret_cast<LPARAM>(&data));
    // Without its dialog an agreement cannot have been given.
    if (result == -1) return ReadNumber("Go", "Agree", 0, Script()) != 0 ? 0 : 1;
    return result;
}

bool ReadmePageList::Read(const char* scriptPath) {
    Release();
    int wanted = ReadNumber("Readme", "No", 0, scriptPath);
    if (wanted <= 0) return true;
    SectionIndex section("Readme", scriptPath);
    const int count = wanted < section.Size() ? wanted : section.Size();
    if (count <= 0) return true;
    UniqueHeapBlock offsets(HeapAlloc(GetProcessHeap(), 0, (size_t)count * sizeof(size_t)));
    UniqueHeapBlock lines(HeapAlloc(GetProcessHeap(), 0, (size_t)count * sizeof(const char*)));
    if (!offsets || !lines) return false;
    size_t* at = static_cast<size_t*>(offsets.get());
    char value[kValueSize];
    for (int i = 0; i < count; ++i) {
        const char* text = section.Get(i);
        CopyBounded(value, sizeof value, text ? text : "");  // as a read into 260 bytes cuts it
        at[i] = copies_.size();
        if (!copies_.Append(value, strlen(value) + 1)) {
            copies_.Clear();
            return false;
        }
    }
    const char** list = static_cast<const char**>(lines.get());
    for (int i = 0; i < count; ++i) list[i] = copies_.data() + at[i];
    lines_ = static_cast<UniqueHeapBlock&&>(lines);
    count_ = count;
    return true;
}

void ReadmePageList::Release() {
    lines_.reset();
    copies_.Clear();
    count_ = 0;
}

UniqueHeapBlock ReadReadmeText(const char* file, const char* baseFolder) {
    UniqueFile opened = OpenReadmeFile(file, baseFolder);
    if (!opened) return UniqueHeapBlock();
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(opened.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return UniqueHeapBlock();
    const DWORD size = (high || low > kMaxReadmeBytes) ? kMaxReadmeBytes : low;
    HeapBuffer raw((size_t)size + 1);
    if (!raw) return UniqueHeapBlock();
    // A file that shrank meanwhile is shown as far as it was read; the zero stays.
    for (DWORD done = 0; done < size;) {
        DWORD got = 0;
        if (!ReadFile(opened.get(), raw.data() + done, size - done, &got, nullptr) || got == 0) break;
        done += got;
    }
    const size_t cap = 2 * (size_t)size + 1;
    UniqueHeapBlock text(HeapAlloc(GetProcessHeap(), 0, cap));
    if (text) ToTextBoxText(raw.data(), static_cast<char*>(text.get()), cap);
    return text;
}
