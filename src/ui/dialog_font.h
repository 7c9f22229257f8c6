// A Western font for the dialogs when their English texts are shown.
#pragma once
#include <windows.h>

// Both dialog templates name a Japanese font, which shows every backslash of a path as
// a yen sign under code pages other than 932. When the English texts are chosen, this
// gives every control of the dialog the system's message font at the height the
// template font got, and returns it; the dialog's size and layout stay as the template
// made them. Under code page 932 (or when no font can be made) it changes nothing and
// returns null. The caller deletes the font once the dialog has ended.
HFONT ApplyWesternFont(HWND dialog);
