// The pure half of the ReadMe dialog's picture pages: page lines, button lines, the
// search for a page in the list, and the fit of the dialog on the desktop. No Windows
// header, so that it compiles and can be fuzzed on any host; readme_dialog.cpp does
// the windows and the painting.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Page identifiers with a name; any other identifier is a number.
constexpr int32_t kPageInstall = -1;
constexpr int32_t kPageVersionUp = -2;
constexpr int32_t kPageUninstall = -3;
constexpr int32_t kPageNone = -4;  // no page: a button with this target is hidden

constexpr int kReadmeButtons = 3;

// A page line's identifier: the whole text compared without case with "install",
// "versionup", "uninstall" and "none", else read like atoi.
int32_t ParsePageIdentifier(const char* text);
// A button's target: the field only has to begin with one of the four words (the
// caption may follow after a comma), else read like atoi.
int32_t ParseButtonTarget(const char* field);

// Whether a line starts a page: "page," and its identifier, or the keyword alone,
// which counts as a page line with identifier 0 (as "page," would). Keywords ignore case.
bool IsPageLine(const char* line, int32_t* identifier);

struct ButtonLine {
    int button;           // 0, 1 or 2 for button1 .. button3
    int32_t target;
    const char* caption;  // everything after the second comma; null when there is none
};
// "button1," .. "button3," with a target and an optional caption.
bool ParseButtonLine(const char* line, ButtonLine* out);

// Where the page with this identifier starts: the entry after the first page line that
// carries it, else entry 1 (so a list that begins with a page line shows its first page).
// The result may equal count (an empty page).
int FindPageStart(const char* const* lines, int count, int32_t identifier);
// The next page line at or after start, or count.
int FindPageEnd(const char* const* lines, int count, int start);

// What one page asks of the three buttons.
struct PageButtons {
    int32_t target[kReadmeButtons];
    const char* caption[kReadmeButtons];  // null: the caption stays as it was
};
// Targets start at "none"; every button line of entries [start, end) sets its button's
// target and, when it has one, its caption; a later line for the same button wins.
PageButtons ReadPageButtons(const char* const* lines, int start, int end);
// A button is shown for a page ("install" .. "uninstall" or a number), hidden for "none"
// and anything below it.
inline bool ButtonShown(int32_t target) { return target >= kPageUninstall; }

// A window rectangle pinned to the desktop's edges in each direction in which it is
// larger than the desktop; unchanged in the other.
struct ScreenRect {
    int32_t left, top, right, bottom;
};
ScreenRect FitOnDesktop(const ScreenRect& window, const ScreenRect& desktop);

// The read-me text as a text box shows it: line ends written as a lone LF or a lone CR
// become CR LF (the box breaks lines only there); the text ends at its first zero byte.
// Writes at most cap - 1 bytes and a zero, never half a double-byte character or half a
// line end; returns the bytes written. 2 * strlen(text) + 1 bytes always hold it whole.
size_t ToTextBoxText(const char* text, char* out, size_t cap);
