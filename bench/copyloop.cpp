// Baseline for the install benchmark: CopyFileA over the files listed in a script's
// [CopyFile] section, from the current folder into a target folder.
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: copyloop SCRIPT TARGET\n");
        return 2;
    }
    char source[MAX_PATH], target[MAX_PATH], key[16], value[MAX_PATH];
    int copied = 0;
    CreateDirectoryA(argv[2], nullptr);
    for (int k = 0;; ++k) {
        snprintf(key, sizeof key, "%d", k);
        if (!GetPrivateProfileStringA("CopyFile", key, "", value, sizeof value, argv[1])) break;
        const char* name = value[0] == '?' ? value + 1 : value;
        snprintf(source, sizeof source, "%s", name);
        snprintf(target, sizeof target, "%s\\%s", argv[2], name);
        char* bs = strrchr(target, '\\');
        *bs = 0;
        CreateDirectoryA(target, nullptr);
        *bs = '\\';
        if (CopyFileA(source, target, FALSE)) ++copied;
    }
    printf("%d\n", copied);
    return 0;
}
