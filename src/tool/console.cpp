#include "tool/console.h"
#include <windows.h>
#include <vector>

namespace {

void WriteTo(DWORD which, const std::string& text) {
    HANDLE out = GetStdHandle(which);
    if (out == INVALID_HANDLE_VALUE || !out || text.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        // A console shows its own code page: the paths go to it as characters.
        int n = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
        if (n > 0) {
            std::vector<wchar_t> wide((size_t)n);
            MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), wide.data(), n);
            DWORD written = 0;
            WriteConsoleW(out, wide.data(), (DWORD)n, &written, nullptr);
            return;
        }
    }
    for (size_t done = 0; done < text.size();) {
        DWORD written = 0;
        if (!WriteFile(out, text.data() + done, (DWORD)(text.size() - done), &written, nullptr) || !written) return;
        done += written;
    }
}

}  // namespace

void Print(const std::string& text) { WriteTo(STD_OUTPUT_HANDLE, text); }
void PrintError(const std::string& text) { WriteTo(STD_ERROR_HANDLE, text); }

bool SameFile(unsigned long one, unsigned long other) {
    HANDLE a = GetStdHandle(one), b = GetStdHandle(other);
    if (a == INVALID_HANDLE_VALUE || b == INVALID_HANDLE_VALUE || !a || !b) return false;
    if (a == b) return true;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileType(a) == FILE_TYPE_DISK && GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}
