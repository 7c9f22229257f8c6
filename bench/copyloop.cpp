// Baselines for the benchmark, over the files listed in a script's [CopyFile] section
// (read in one call):
//   copyloop SCRIPT TARGET             CopyFileA of each from the current folder into TARGET
//   copyloop /ages SCRIPT TARGET       the same, each after the two attribute calls with
//                                      which the install compares ages
//   copyloop /delete SCRIPT TARGET     DeleteFileA of each under TARGET, then its folders
//   copyloop /recycle SCRIPT TARGET    the same through the recycle bin, one shell call a file
//   copyloop /recycle=K SCRIPT TARGET  the same, K files a shell call
// Prints how many files it acted on.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum class Mode { Copy, Delete, Recycle };

char section[8 << 20];
char batch[1 << 20];  // zero-separated paths, double zero at the end

// Sends the batch to the recycle bin; the count of files that went.
int FlushRecycle(size_t* used, int queued) {
    if (*used == 0) return 0;
    batch[*used] = 0;
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = batch;
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO;  // as the uninstall asks
    int done = SHFileOperationA(&op) == 0 ? queued : 0;
    *used = 0;
    return done;
}

}  // namespace

int main(int argc, char** argv) {
    Mode mode = Mode::Copy;
    int perCall = 1;
    int arg = 1;
    bool ages = false;
    if (argc > 1 && strcmp(argv[1], "/ages") == 0) {
        ages = true;
        ++arg;
    }
    if (argc > arg && strcmp(argv[arg], "/delete") == 0) {
        mode = Mode::Delete;
        ++arg;
    } else if (argc > arg && strncmp(argv[arg], "/recycle", 8) == 0) {
        mode = Mode::Recycle;
        if (argv[arg][8] == '=') perCall = atoi(argv[arg] + 9);
        if (perCall < 1) perCall = 1;
        ++arg;
    }
    if (argc < arg + 2) {
        fprintf(stderr, "usage: copyloop [/ages | /delete | /recycle[=K]] SCRIPT TARGET\n");
        return 2;
    }
    GetPrivateProfileSectionA("CopyFile", section, sizeof section, argv[arg]);
    const char* root = argv[arg + 1];
    if (mode == Mode::Copy) CreateDirectoryA(root, nullptr);
    char target[MAX_PATH], lastFolder[MAX_PATH] = "";
    int done = 0, queued = 0;
    size_t used = 0;
    for (char* line = section; *line; line += strlen(line) + 1) {
        char* name = strchr(line, '=');
        if (!name) continue;
        ++name;
        if (*name == '?') ++name;
        int n = snprintf(target, sizeof target, "%s\\%s", root, name);
        if (n < 0 || n >= (int)sizeof target) continue;
        char* bs = strrchr(target, '\\');
        if (mode == Mode::Copy) {
            *bs = 0;
            CreateDirectoryA(target, nullptr);
            *bs = '\\';
            if (ages) {
                WIN32_FILE_ATTRIBUTE_DATA destination, source;
                GetFileAttributesExA(target, GetFileExInfoStandard, &destination);
                GetFileAttributesExA(name, GetFileExInfoStandard, &source);
            }
            if (CopyFileA(name, target, FALSE)) ++done;
        } else if (mode == Mode::Delete) {
            if (DeleteFileA(target)) ++done;
        } else {
            if (used + (size_t)n + 2 > sizeof batch) done += FlushRecycle(&used, queued), queued = 0;
            memcpy(batch + used, target, (size_t)n + 1);
            used += (size_t)n + 1;
            if (++queued == perCall) done += FlushRecycle(&used, queued), queued = 0;
        }
        if (mode != Mode::Copy) {  // each folder goes once its files have gone (the list is in folder order)
            *bs = 0;
            if (lastFolder[0] && strcmp(lastFolder, target) != 0) {
                done += FlushRecycle(&used, queued), queued = 0;
                RemoveDirectoryA(lastFolder);
            }
            strcpy(lastFolder, target);
            *bs = '\\';
        }
    }
    if (mode == Mode::Recycle) done += FlushRecycle(&used, queued);
    if (lastFolder[0]) RemoveDirectoryA(lastFolder);
    if (mode != Mode::Copy) RemoveDirectoryA(root);
    printf("%d\n", done);
    return 0;
}
