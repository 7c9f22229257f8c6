// SetupTool preview: the backdrop and every picture page of the read-me, drawn by the
// program's own interpreter into BMP files.
#pragma once
#include <windows.h>
#include <string>

struct PreviewOptions {
    int width = 1024, height = 768;  // the backdrop's screen
    std::string outFolder;
};

// Draws the pictures of folder\Setup.ini into options.outFolder (made when missing) and
// tells what it wrote; the only files it writes are those pictures. instance holds the
// read-me dialog's template. False when nothing could be written (told on errors).
bool PreviewScript(HINSTANCE instance, const std::string& folder, const PreviewOptions& options, std::string* report,
                   std::string* errors);

// Writes a bitmap as a 24-bit BMP file; false when it fails.
bool SaveBitmapFile(HDC dc, HBITMAP bitmap, int width, int height, const std::string& path);
