// The hidden or full-screen window that owns the main dialog.
#pragma once
#include <windows.h>

HWND CreateBackdropWindow(HINSTANCE instance);
INT_PTR CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
