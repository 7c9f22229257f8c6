#include "tool/preview.h"
#include <string.h>
#include <functional>
#include <vector>
#include "base/handles.h"
#include "base/text.h"
#include "draw/backdrop_picture.h"
#include "draw/drawing.h"
#include "res/resource.h"
#include "run/run_state.h"
#include "script/paths.h"
#include "script/script.h"
#include "ui/readme_dialog.h"
#include "ui/readme_pages.h"

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

bool MakeFolders(const std::string& path) {
    if (path.empty() || PathExists(path.c_str())) return true;
    size_t bs = path.find_last_of('\\');
    if (bs != std::string::npos && bs > 2) MakeFolders(path.substr(0, bs));
    return CreateDirectoryA(path.c_str(), nullptr) || PathExists(path.c_str());
}

std::string PageName(int32_t id) {
    switch (id) {
    case kPageInstall: return "install";
    case kPageVersionUp: return "versionup";
    case kPageUninstall: return "uninstall";
    case kPageNone: return "none";
    default: return std::to_string(id);
    }
}

// A surface compatible with the screen, black, as the program makes its own.
struct Surface {
    UniqueMemDC dc;
    UniqueGdiObject bitmap;
    HGDIOBJ previous = nullptr;
    Surface(int w, int h) {
        WindowDC screen(GetDesktopWindow());
        dc.reset(CreateCompatibleDC(screen.get()));
        bitmap.reset(CreateCompatibleBitmap(screen.get(), w, h));
        if (!dc || !bitmap) return;
        previous = SelectObject(dc.get(), bitmap.get());
        RECT all = {0, 0, w, h};
        FillRect(dc.get(), &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
    }
    ~Surface() {
        if (dc && previous) SelectObject(dc.get(), previous);
    }
    bool ok() const { return dc && bitmap; }
};

// The bitmap is taken out of its context for the read, as GetDIBits asks.
bool SaveSurface(HDC dc, HGDIOBJ bitmap, HGDIOBJ previous, int w, int h, const std::string& path) {
    SelectObject(dc, previous);
    bool saved = SaveBitmapFile(dc, static_cast<HBITMAP>(bitmap), w, h, path);
    SelectObject(dc, bitmap);
    return saved;
}

// A button's caption as shown, without the '&' that marks its shortcut letter.
std::string Caption(HWND button) {
    char text[128] = "";
    GetWindowTextA(button, text, sizeof text);
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '&' && p[1]) ++p;
        out += *p;
    }
    return out;
}

// The text read-me or the agreement as the dialog shows it, one picture per screenful of
// the text box, scrolled as the user would scroll it, with the dialog's buttons.
bool PreviewText(HINSTANCE instance, const std::string& script, const std::string& outFolder, std::string* report,
                 std::string* errors, const std::function<void(const std::string&, const std::string&, bool)>& tell) {
    // The dialog reads the script the run works on.
    RunState saved = Run();
    CopyBounded(Run().scriptPath, sizeof Run().scriptPath, script.c_str());
    HiddenReadmeDialog dialog;
    const bool opened = dialog.Open(instance);
    Run() = saved;
    if (!opened) {
        *errors += "the read-me dialog could not be made: no text page drawn\n";
        return false;
    }
    HWND window = dialog.window(), text = GetDlgItem(window, IDC_README_TEXT);
    RECT client{}, format{};
    GetClientRect(window, &client);
    SendMessageA(text, EM_GETRECT, 0, (LPARAM)&format);
    int lineHeight = 0;
    {
        WindowDC dc(text);
        HGDIOBJ font = (HGDIOBJ)SendMessageA(text, WM_GETFONT, 0, 0);
        HGDIOBJ before = font ? SelectObject(dc.get(), font) : nullptr;
        TEXTMETRICA metrics{};
        if (GetTextMetricsA(dc.get(), &metrics)) lineHeight = metrics.tmHeight;
        if (before) SelectObject(dc.get(), before);
    }
    const int lines = (int)SendMessageA(text, EM_GETLINECOUNT, 0, 0);
    int perPage = lineHeight > 0 ? (format.bottom - format.top) / lineHeight : 0;
    if (perPage < 1) perPage = 1;
    // Not every script's text fits in a reasonable number of pictures.
    constexpr int kMostPages = 50;
    const int pages = (lines + perPage - 1) / perPage;
    const bool agreement = ReadNumber("Go", "Agree", 0, script.c_str()) != 0;
    std::string buttons;
    for (int id : {IDC_README_BUTTON1, IDC_README_BUTTON2, IDC_README_BUTTON3, IDC_README_END}) {
        HWND button = GetDlgItem(window, id);
        if (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) buttons += (buttons.empty() ? "" : ", ") + Caption(button);
    }
    const int w = client.right, h = client.bottom;
    const std::string kind = agreement ? "agreement" : "read-me";
    bool all = true;
    for (int page = 0; page < pages && page < kMostPages; ++page) {
        const int first = (int)SendMessageA(text, EM_GETFIRSTVISIBLELINE, 0, 0);
        SendMessageA(text, EM_LINESCROLL, 0, page * perPage - first);
        Surface surface(w, h);
        const std::string name = (agreement ? "agreement-" : "readme-text-") + std::to_string(page + 1) + ".bmp";
        bool saved = surface.ok();
        if (saved) {
            PaintWindowInto(window, surface.dc.get());
            saved = SaveSurface(surface.dc.get(), surface.bitmap.get(), surface.previous, w, h, Join(outFolder, name));
        }
        // The box stops scrolling once its last line is in sight, as for the user.
        const int top = (int)SendMessageA(text, EM_GETFIRSTVISIBLELINE, 0, 0);
        const int last = top + perPage < lines ? top + perPage : lines;
        tell(name, std::to_string(w) + "x" + std::to_string(h) + " " + kind + ", lines " + std::to_string(top + 1) +
                       " to " + std::to_string(last) + " of " + std::to_string(lines) +
                       (buttons.empty() ? "" : ", buttons: " + buttons),
             saved);
        all &= saved;
    }
    if (pages > kMostPages)
        *report += "    the text runs to " + std::to_string(pages) + " pages; the first " + std::to_string(kMostPages) +
                   " are drawn\n";
    return all;
}

}  // namespace

bool SaveBitmapFile(HDC dc, HBITMAP bitmap, int width, int height, const std::string& path) {
    const DWORD row = ((DWORD)width * 3 + 3) & ~3u;
    const DWORD pixels = row * (DWORD)height;
    std::vector<unsigned char> bytes(54 + (size_t)pixels);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, the usual way
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = pixels;
    if (GetDIBits(dc, bitmap, 0, (UINT)height, bytes.data() + 54, &info, DIB_RGB_COLORS) != height) return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfSize = (DWORD)bytes.size();
    file.bfOffBits = 54;
    memcpy(bytes.data(), &file, 14);
    memcpy(bytes.data() + 14, &info.bmiHeader, 40);
    UniqueFile out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    DWORD written = 0;
    return WriteFile(out.get(), bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
}

bool PreviewScript(HINSTANCE instance, const std::string& folder, const PreviewOptions& options, std::string* report,
                   std::string* errors) {
    const std::string script = Join(folder, "Setup.ini");
    if (!PathExists(script.c_str())) {
        *errors += script + ": no such file\n";
        return false;
    }
    if (!MakeFolders(options.outFolder)) {
        *errors += options.outFolder + ": cannot make the folder\n";
        return false;
    }
    // File names in the pictures resolve as for a Setup.exe started from its own folder.
    SetCurrentDirectoryA(folder.c_str());
    bool wroteAll = true;
    auto tell = [&](const std::string& name, const std::string& what, bool saved) {
        if (saved)
            *report += "  " + Join(options.outFolder, name) + "  " + what + "\n";
        else
            *errors += Join(options.outFolder, name) + ": could not be written\n";
        wroteAll &= saved;
    };

    {
        RECT area = {0, 0, options.width, options.height};
        BackdropSurface backdrop;
        backdrop.Prepare(area, script.c_str());
        std::string what = std::to_string(options.width) + "x" + std::to_string(options.height) + " backdrop";
        if (ReadNumber("Back", "Do", 0, script.c_str()) == 0) what += " ([Back] \"Do\" is 0: the install shows none)";
        tell("backdrop.bmp", what,
             backdrop.dc && SaveSurface(backdrop.dc.get(), backdrop.bitmap.get(), backdrop.previous, options.width,
                                        options.height, Join(options.outFolder, "backdrop.bmp")));
    }

    char file[kValueSize];
    if (!ReadText("Readme", "File", file, sizeof file, script.c_str())) return wroteAll;
    if (!EqualsAsciiNoCase(file, "ReadMe.Special"))
        return PreviewText(instance, script, options.outFolder, report, errors, tell) && wroteAll;
    ReadmePageList list;
    list.Read(script.c_str());
    RECT area;
    if (!MeasureReadmePageArea(instance, &area)) {
        *errors += "the read-me dialog could not be measured: no picture page drawn\n";
        return false;
    }
    const int w = area.right - area.left, h = area.bottom - area.top;
    char base[kPathSize];
    ReadText("Root", "Named", base, sizeof base, script.c_str());
    // Each page as the dialog shows it when it opens on that page: over a black page.
    std::vector<std::pair<int, std::string>> drawn;  // start line, file
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    auto draw = [&](int32_t id, const std::string& name, const std::string& what) {
        Surface surface(w, h);
        bool saved = surface.ok();
        if (saved) {
            DrawReadmePage(surface.dc.get(), area, base, list.lines(), list.count(), id);
            saved = SaveSurface(surface.dc.get(), surface.bitmap.get(), surface.previous, w, h,
                                Join(options.outFolder, name));
        }
        tell(name, what, saved);
        drawn.push_back({FindPageStart(list.lines(), list.count(), id), name});
    };
    auto drawnAt = [&](int start) -> const std::string* {
        for (const auto& d : drawn)
            if (d.first == start) return &d.second;
        return nullptr;
    };
    for (int i = 0; i < list.count(); ++i) {
        int32_t id = 0;
        // The dialog only ever finds the first page of an identifier.
        if (!IsPageLine(list.lines()[i], &id) || drawnAt(FindPageStart(list.lines(), list.count(), id))) continue;
        draw(id, "readme-page-" + PageName(id) + ".bmp", size + " read-me page " + PageName(id));
    }
    // The dialog opens on install, versionup or uninstall; one that no page line names
    // shows the lines from 1 on.
    for (int32_t start : {kPageInstall, kPageVersionUp, kPageUninstall}) {
        int at = FindPageStart(list.lines(), list.count(), start);
        if (const std::string* file = drawnAt(at)) {
            if (*file != "readme-page-" + PageName(start) + ".bmp")
                *report += "    a read-me opened on " + PageName(start) + " shows " + *file + "\n";
            continue;
        }
        draw(start, "readme-page-" + PageName(start) + ".bmp",
             size + " read-me lines from 1 on, which the dialog shows for " + PageName(start) + " (no page line names it)");
    }
    return wroteAll;
}
