#include "tool/files.h"
#include <windows.h>
#include "base/handles.h"

bool ReadWholeFile(const std::string& path, size_t limit, std::string* bytes) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    DWORD high = 0, size = GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE || high || size > limit) return false;
    bytes->assign(size, '\0');
    for (DWORD done = 0; done < size;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), &(*bytes)[done], size - done, &got, nullptr) || !got) return false;
        done += got;
    }
    return true;
}
