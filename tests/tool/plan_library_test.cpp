// The plan's machine never loads a library: it reads the export table of the file as
// data. Whatever the bytes, reading them must stay inside them.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "stage.h"
#include "tool/plan_machine.h"

namespace {

std::string SystemFile(const char* name) {
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + name;
}

uint32_t Get32(const std::string& b, size_t at) {
    uint32_t v = 0;
    memcpy(&v, b.data() + at, 4);
    return v;
}

bool Has(const std::vector<std::string>& names, const char* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

TEST(PlanLibraries, ExportNamesAreReadFromTheImageAndDamagedImagesAreRefused) {
    const std::string image = stage::ReadFile(SystemFile("kernel32.dll"));
    ASSERT_GT(image.size(), 4096u);
    std::vector<std::string> all;
    ASSERT_TRUE(ExportNamesOf(image, &all));
    EXPECT_TRUE(Has(all, "Sleep") && Has(all, "GetProcAddress")) << all.size() << " names";
    EXPECT_FALSE(Has(all, "NoSuchExport"));

    // The offsets the reader follows, each pointed past the end of the file.
    const size_t pe = Get32(image, 0x3C);
    const size_t optional = pe + 24;
    const bool wide = image[optional] == 0x0B && image[optional + 1] == 0x02;
    const size_t exportEntry = optional + (wide ? 112 : 96);
    const struct {
        const char* what;
        size_t at, width;
        uint32_t value;
    } damage[] = {
        {"the PE header's offset", 0x3C, 4, 0x7FFFFFF0u},
        {"the optional header's size", pe + 20, 2, 0x10u},  // too small to hold the directories
        {"the number of sections", pe + 6, 2, 0xFFFFu},
        {"the export directory's address", exportEntry, 4, 0xFFFFFFF0u},
    };
    std::vector<std::string> names;
    for (const auto& d : damage) {
        std::string bad = image;
        ASSERT_LE(d.at + d.width, bad.size()) << d.what;
        memcpy(&bad[d.at], &d.value, d.width);
        EXPECT_FALSE(ExportNamesOf(bad, &names)) << d.what;
    }
    EXPECT_FALSE(ExportNamesOf(std::string(), &names));
    EXPECT_FALSE(ExportNamesOf("MZ not an image at all, only text", &names));
    EXPECT_FALSE(ExportNamesOf(std::string("MZ") + std::string(0x3A, '\0') + std::string("\x40\0\0\0PE", 6), &names));
    // Every cut of the image: whatever it reads is a part of the whole list.
    for (size_t length = 0; length < image.size(); length += 1 + length / 3) {
        if (!ExportNamesOf(image.substr(0, length), &names)) continue;
        for (const std::string& name : names) ASSERT_TRUE(Has(all, name.c_str())) << length << ": " << name;
    }
}

TEST(PlanLibraries, OpeningAnswersFromTheFileAndNothingIsLoaded) {
    stage::Folder folder("plan-libraries", false);
    folder.Put("text.dll", "not a library");
    PlanMachine machine;
    const struct {
        std::string path;
        bool opens;
        DWORD error;
        const char* present;  // an export asked for ("" none)
    } rows[] = {
        {SystemFile("kernel32.dll"), true, 0, "Sleep"},
        {SystemFile("no-such-library.dll"), false, ERROR_MOD_NOT_FOUND, ""},
        {folder.dir(), false, ERROR_MOD_NOT_FOUND, ""},  // a folder is no library
        {folder.Path("text.dll"), false, ERROR_BAD_EXE_FORMAT, ""},
    };
    for (const auto& row : rows) {
        SetLastError(0);
        HMODULE library = machine.OpenLibrary(row.path.c_str(), LOAD_WITH_ALTERED_SEARCH_PATH);
        EXPECT_EQ(row.opens, library != nullptr) << row.path;
        if (!library) {
            EXPECT_EQ(row.error, GetLastError()) << row.path;
            continue;
        }
        EXPECT_TRUE(machine.LibraryFunction(library, row.present)) << row.path;
        EXPECT_FALSE(machine.LibraryFunction(library, "NoSuchExport")) << row.path;
        machine.CloseLibrary(library);
    }
    // A copy the plan made answers with the exports of the file it copies.
    const std::string copy = folder.Path("copied.dll");
    ASSERT_TRUE(machine.Copy(SystemFile("kernel32.dll").c_str(), copy.c_str(), false));
    EXPECT_FALSE(stage::Exists(copy));
    HMODULE library = machine.OpenLibrary(copy.c_str(), 0);
    ASSERT_TRUE(library);
    EXPECT_TRUE(machine.LibraryFunction(library, "GetProcAddress"));
    EXPECT_FALSE(machine.LibraryFunction(library, "NoSuchExport"));
    EXPECT_FALSE(GetModuleHandleA("copied.dll")) << "the plan loaded a library";
}
