// Baseline for the install benchmark: CopyFileA over the files listed in a script's
// [CopyFile] section (read in one call), from the current folder into a target folder.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: copyloop SCRIPT TARGET\n");
        return 2;
    }
    static char section[8 << 20];
    GetPrivateProfileSectionA("CopyFile", section, sizeof section, argv[1]);
    CreateDirectoryA(argv[2], nullptr);
    char target[MAX_PATH];
    int copied = 0;
    for (char* line = section; *line; line += strlen(line) + 1) {
        char* name = strchr(line, '=');
        if (!name) continue;
        ++name;
        if (*name == '?') ++name;
        snprintf(target, sizeof target, "%s\\%s", argv[2], name);
        char* bs = strrchr(target, '\\');
        *bs = 0;
        CreateDirectoryA(target, nullptr);
        *bs = '\\';
        if (CopyFileA(name, target, FALSE)) ++copied;
    }
    printf("%d\n", copied);
    return 0;
}
