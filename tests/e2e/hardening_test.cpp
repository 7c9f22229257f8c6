// The program as it meets a hostile download folder: DLLs named like the libraries that
// the shell and the common controls load on demand lie beside Setup.exe, and Wine is
// told (by the group's environment) to prefer such native copies; none of them may ever
// be loaded.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "listing.h"
#include "res/resource.h"

using namespace e2e;

namespace {

// All at once: with version.dll planted Wine does not load its own theme library early, and
// the common controls would then resolve theirs here. Wine's user32 itself imports
// version.dll before any instruction of a program runs, so that one marker says nothing
// about the program and is left out of the judgement.
const char* const kPlanted[] = {"version.dll", "uxtheme.dll", "dwmapi.dll", "comctl32.dll", "propsys.dll",
                                "profapi.dll", "cryptbase.dll", "shfolder.dll", "msimg32.dll"};
const char kWineArtefact[] = "version.dll.txt";
const char kMarkers[] = "C:\\markers";

std::string BinPath(const char* name) {
    const char* dir = getenv("SETUP_BIN_DIR");
    return dir ? stage::HostToWindows(dir) + "\\" + name : std::string(name);
}

std::string Markers() {
    std::string out;
    for (const std::string& name : listing::Names(kMarkers, "*.txt"))
        if (lstrcmpiA(name.c_str(), kWineArtefact) != 0) out += name + " ";
    return out;
}

bool RunToEnd(const std::string& exe, const std::string& args, const std::string& folder) {
    ui::Program program;
    return program.Start(exe, args, folder) && program.Wait(60000);
}

}  // namespace

TEST(Hardening, NoDllIsLoadedFromTheDownloadFolder) {
    const std::string target = "C:\\PlantedApp";
    stage::DeleteTree(target);
    stage::DeleteTree(kMarkers);
    stage::Folder folder("planted");
    std::vector<std::string> script = {"[Setup]", "Name=Planted Product", "[Root]", "Name=PlantedApp",
                                       "[CopyFile]", "0=app.txt"};
    folder.Put("app.txt", "app");
    for (const char* dll : kPlanted) {
        ASSERT_TRUE(CopyFileA(BinPath("planted.dll").c_str(), folder.Path(dll).c_str(), FALSE)) << dll;
        script.push_back(std::to_string(script.size() - 5) + "=" + dll);  // the product ships them too
    }
    folder.WriteScript(Crlf(script));
    ASSERT_TRUE(CopyFileA(BinPath("dllprobe.exe").c_str(), folder.Path("dllprobe.exe").c_str(), FALSE));

    // The test can fail: a program that loads these names without narrowing its search takes them.
    std::string probe = folder.Path("dllprobe.exe") + " ";
    for (const char* dll : kPlanted) probe += std::string(dll) + " ";
    ASSERT_TRUE(RunToEnd(folder.Path("dllprobe.exe"), probe.substr(probe.find(' ') + 1), folder.dir()));
    ASSERT_NE("", Markers()) << "no planted DLL was taken even without protection: the test proves nothing";
    stage::DeleteTree(kMarkers);
    ASSERT_TRUE(RunToEnd(folder.Path("dllprobe.exe"), "restricted " + probe.substr(probe.find(' ') + 1), folder.dir()));
    EXPECT_EQ("", Markers()) << "the two calls do not keep the planted DLLs out on this system";
    stage::DeleteTree(kMarkers);

    ui::Program setup;
    ASSERT_TRUE(setup.Start(folder.Path("Setup.exe"), "", folder.dir()));
    HWND dialog = ui::WaitForMainDialog(setup.pid(), 25000);
    ASSERT_TRUE(dialog) << "no main dialog";
    ui::Click(dialog, IDC_BROWSE);  // the folder browser loads more of the shell than anything else
    HWND browser = ui::WaitForMessageBox(setup.pid(), 15000, dialog);
    ASSERT_TRUE(browser) << "no folder browser";
    Shot("planted-browser");
    ui::Click(browser, IDCANCEL);
    ASSERT_TRUE(ui::WaitUntil([&] { return !IsWindow(browser); }, 5000));
    ui::Click(dialog, IDC_RUN);
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(setup.Wait(60000, &code)) << "the install did not end";
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(stage::Exists(target + "\\Setup.exe") && stage::Exists(target + "\\uxtheme.dll"));

    // The installed copy's uninstall runs beside the same DLLs.
    ui::Program uninstaller;
    ASSERT_TRUE(uninstaller.Start(target + "\\Setup.exe", "uninstall", target));
    EXPECT_TRUE(uninstaller.Wait(60000)) << "the uninstall did not end";
    ui::WaitUntil([&] { return !stage::Exists(target); }, 30000, 200);
    EXPECT_EQ("", Markers()) << "planted DLLs were loaded by Setup.exe";
    stage::DeleteTree(kMarkers);
    stage::DeleteTree(target);
}
