// The ReadMe and agreement dialog (resource 102): a text file in a text box, or picture
// pages drawn from the [Readme] list with up to three buttons between them.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "base/growable_text.h"
#include "base/handles.h"

// The largest part of a read-me file that is shown; the rest of a larger file is left out.
constexpr DWORD kMaxReadmeBytes = 1u << 20;

// The dialog as OpenReadmeDialog opens it over the run's script, made modeless and never
// shown, so that pictures can be taken of what it shows. The window goes with the object.
class HiddenReadmeDialog {
public:
    HiddenReadmeDialog() = default;
    ~HiddenReadmeDialog() { Close(); }
    HiddenReadmeDialog(const HiddenReadmeDialog&) = delete;
    HiddenReadmeDialog& operator=(const HiddenReadmeDialog&) = delete;
    // instance holds the dialog template; false when the dialog could not be made.
    bool Open(HINSTANCE instance);
    void Close();
    HWND window() const { return window_; }

private:
    HWND window_ = nullptr;
    void* data_ = nullptr;  // the dialog's own record, which outlives no window
};

// Paints the window's client area and its visible children, as they would be on screen,
// into dc (origin at the client area's top left) without showing anything.
void PaintWindowInto(HWND window, HDC dc);

// Opens the dialog modally. 1: setup may go on (the read-me was closed, or the user
// agreed); 0: the agreement was refused, or could not be shown.
INT_PTR OpenReadmeDialog(HWND owner);

// Draws the picture page `identifier` of the list over what surface holds, as the dialog
// shows it: the entries after its page line (after entry 0 when no page line carries it)
// up to the next page line.
void DrawReadmePage(HDC surface, const RECT& area, const char* baseFolder, const char* const* lines, int count,
                    int32_t identifier);
// The page area of the dialog (its client rectangle once placed on this screen), from
// the dialog template in instance's resources, created hidden. False when it fails.
bool MeasureReadmePageArea(HINSTANCE instance, RECT* area);

// The picture pages' list: [Readme] "0" .. No - 1 read from one read of the section,
// each entry cut to 259 bytes, a missing key an empty entry. Entries beyond the highest
// key present are left out: they would all be empty, and a huge No must not cost memory
// the script does not fill.
class ReadmePageList {
public:
    bool Read(const char* scriptPath);  // false when memory ran out (the list is then empty)
    void Release();
    const char* const* lines() const { return reinterpret_cast<const char* const*>(lines_.get()); }
    int count() const { return count_; }

private:
    GrowableText copies_;
    UniqueHeapBlock lines_;
    int count_ = 0;
};

// The file that [Readme] "File" names, read whole up to kMaxReadmeBytes and made ready
// for the text box; null when it opens neither under the base folder nor by its bare name.
UniqueHeapBlock ReadReadmeText(const char* file, const char* baseFolder);
