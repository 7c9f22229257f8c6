// A sealed sample: every way its folder can differ from the seal stops the run before it
// changes anything (the drive and the registry as before), shown and silent; the intact
// folder installs shown and silent any number of times and stays as sealed; the installed
// copy uninstalls without a seal check; a record forged beside Setup.exe does not pass.
#include <gtest/gtest.h>
#include <windows.h>
#include <set>
#include <string>
#include "e2e_helpers.h"
#include "fixtures.h"
#include "listing.h"
#include "plan_check.h"
#include "res/resource.h"

using namespace e2e;

namespace {

constexpr DWORD kRunWait = 60000;
const char kTarget[] = "C:\\Program Files\\Sample Notes";

std::string SampleSource() {
    const char* source = getenv("SETUP_SOURCE_DIR");
    return source ? stage::HostToWindows(source) + "\\examples\\sample" : "";
}

std::string TempFolder() {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return Lower(std::string(temp, strlen(temp) - 1));
}

// The drive (but the system's own folders, the temporary folder and the stages) and the
// registry's software keys.
listing::Entries Machine() {
    std::set<std::string> skipped = {"c:\\windows", "c:\\stage", TempFolder()};
    listing::FileOptions files;
    files.detail = listing::FileDetail::SizeAndTime;
    files.lowerCase = true;
    files.skip = [&](const std::string& path) { return skipped.count(path) != 0; };
    listing::Entries out = listing::Files("C:", files);
    listing::KeyOptions keys;
    keys.lowerCase = true;
    keys.skip = [](const std::string& key) { return key == "hkey_current_user\\software\\wine"; };
    listing::AddKeys(HKEY_LOCAL_MACHINE, "Software", keys, &out);
    listing::AddKeys(HKEY_CURRENT_USER, "Software", keys, &out);
    return out;
}

std::string Differences(const listing::Entries& before, const listing::Entries& after) {
    std::string out;
    for (const auto& e : after) {
        auto b = before.find(e.first);
        if (b == before.end()) out += "+ " + e.first + "\n";
        else if (b->second != e.second) out += "~ " + e.first + "\n";
    }
    for (const auto& e : before)
        if (!after.count(e.first)) out += "- " + e.first + "\n";
    return out;
}

DWORD RunSilent(const std::string& dir, const std::string& args) {
    ui::Program program;
    if (!program.Start(dir + "\\Setup.exe", args, "C:\\")) return 99;
    DWORD code = 99;
    if (!program.Wait(kRunWait, &code)) program.Kill();
    return code;
}

// A sealed copy of the sample in C:\stage\NAME.
std::string StageSealed(const std::string& name, bool automatic) {
    stage::Folder folder(name);
    EXPECT_TRUE(stage::CopyTree(SampleSource(), folder.dir()));
    if (automatic) stage::SetIni(folder.Script(), "Setup", "Auto", "1");
    std::string out;
    EXPECT_EQ(0u, plancheck::RunTool("seal \"" + folder.dir() + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("sealed ")) << out;
    return folder.dir();
}

struct Tamper {
    const char* what;
    const char* file;  // as named in the refusal
    const char* why;
    void (*change)(const std::string& dir);
};

const Tamper kTampers[] = {
    {"a changed script line", "Setup.ini", "has been changed",
     [](const std::string& d) { stage::SetIni(d + "\\Setup.ini", "Ext0", "Ext", ".txt"); }},
    {"a changed payload byte", "readme.txt", "has been changed",
     [](const std::string& d) {
         std::string text = stage::ReadFile(d + "\\readme.txt");
         text[text.size() / 2] ^= 1;
         stage::WriteFile(d + "\\readme.txt", text);
     }},
    {"a missing payload file", "notes.cfg", "is missing", [](const std::string& d) { DeleteFileA((d + "\\notes.cfg").c_str()); }},
    {"a payload file replaced by a folder", "license.txt", "is missing",
     [](const std::string& d) {
         DeleteFileA((d + "\\license.txt").c_str());
         CreateDirectoryA((d + "\\license.txt").c_str(), nullptr);
     }},
};

}  // namespace

// Silent and shown runs of a sealed folder changed in one way each: exit 1603 (silent),
// the refusal naming the file and why, and the machine as it was.
TEST(Seal, EachDifferenceStopsTheRunBeforeAnythingChanges) {
    ASSERT_NE("", SampleSource());
    stage::DeleteTree(kTarget);
    listing::Entries before = Machine();
    int i = 0;
    for (const Tamper& t : kTampers) {
        std::string dir = StageSealed("tampered" + std::to_string(i++), false);
        std::string shipped = stage::ReadFile(dir + "\\Setup.ini");
        t.change(dir);
        std::string log = dir + ".log";
        EXPECT_EQ(1603u, RunSilent(dir, "/S \"/LOG=" + log + "\"")) << t.what;
        std::string text = stage::ReadFile(log);
        EXPECT_NE(std::string::npos, text.find(std::string(t.file) + " " + t.why)) << t.what << "\n" << text;
        EXPECT_NE(std::string::npos, text.find("Exit code: 1603")) << text;
        EXPECT_EQ(std::string::npos, text.find("  new  ")) << t.what << ": nothing is made\n" << text;
        EXPECT_EQ("", Differences(before, Machine())) << t.what;
        if (std::string(t.file) != "Setup.ini") {
            EXPECT_EQ(shipped, stage::ReadFile(dir + "\\Setup.ini")) << t.what << ": the script stays as shipped";
        }
        std::string tool;
        EXPECT_EQ(2u, plancheck::RunTool("seal --verify \"" + dir + "\"", &tool)) << t.what << "\n" << tool;
        EXPECT_NE(std::string::npos, tool.find(t.file)) << tool;
    }

    // Shown: a changed script is refused before the dialog; a changed file when Run is
    // pressed, as the first step. Each with a box that names the file, then the end.
    for (int k : {0, 1}) {
        const Tamper& t = kTampers[k];
        std::string dir = StageSealed("shown" + std::to_string(k), true);
        t.change(dir);
        ui::Program program;
        ASSERT_TRUE(program.Start(dir + "\\Setup.exe", "", dir));
        HWND box = ui::WaitForMessageBox(program.pid(), 30000);
        ASSERT_TRUE(box) << t.what << ": no refusal shown";
        std::string said = ui::Narrow(ui::MessageBoxText(box));
        EXPECT_NE(std::string::npos, said.find(std::string(t.file) + " " + t.why)) << said;
        EXPECT_NE(std::string::npos, said.find("Nothing has been installed")) << said;
        EXPECT_EQ("Checking files", ui::Narrow(ui::Text(box)));
        Shot(std::string("seal-refused-") + (k == 0 ? "script" : "file"));
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
        DWORD code = 99;
        EXPECT_TRUE(program.Wait(kRunWait, &code)) << t.what << ": the run does not end";
        EXPECT_EQ("", Differences(before, Machine())) << t.what;
    }
}

// The intact sealed sample installs shown, then silently again from the same folder, which
// stays as sealed; the plan agrees with the silent install; the installed copy carries the
// seal but neither checks it nor refuses; a forged record beside Setup.exe is refused.
TEST(Seal, IntactSealInstallsAnyNumberOfTimesAndTheInstalledCopyUninstalls) {
    ASSERT_NE("", SampleSource());
    stage::DeleteTree(kTarget);
    std::string dir = StageSealed("intact", true);
    std::string shipped = stage::ReadFile(dir + "\\Setup.ini");
    {
        ui::Program program;
        ASSERT_TRUE(program.Start(dir + "\\Setup.exe", "", dir));
        Outcome end = WaitForEndOrBox(program, kRunWait);
        ASSERT_TRUE(end.ended) << "the automatic sealed install stopped with a box: "
                               << (end.box ? ui::Narrow(ui::MessageBoxText(end.box)) : "");
        EXPECT_EQ(0u, end.exitCode);
    }
    EXPECT_TRUE(stage::Exists(std::string(kTarget) + "\\readme.txt"));
    EXPECT_EQ(shipped, stage::ReadFile(dir + "\\Setup.ini")) << "the sealed script stays as shipped";
    std::string tool;
    EXPECT_EQ(0u, plancheck::RunTool("seal --verify \"" + dir + "\"", &tool)) << tool;

    // Again, silently, from the same folder (started from another, as management tools
    // start it): still as sealed, and as planned.
    plancheck::InstallPlan plan(dir);
    ASSERT_TRUE(plan.available());
    std::string log = dir + "-again.log";
    EXPECT_EQ(0u, RunSilent(dir, "/S \"/LOG=" + log + "\""));
    std::string text = stage::ReadFile(log);
    EXPECT_NE(std::string::npos, text.find("== Sealed files\r\n  checked  ")) << text;
    EXPECT_EQ(std::string::npos, text.find("  missing  ")) << text;
    EXPECT_EQ("", plan.Disagreements(kTarget));
    EXPECT_EQ(shipped, stage::ReadFile(dir + "\\Setup.ini"));
    EXPECT_EQ(0u, plancheck::RunTool("seal --verify \"" + dir + "\"", &tool)) << tool;

    // The installed copy's own run is not a setup to check: it tells what it is.
    std::string installed = std::string(kTarget) + "\\Setup.exe";
    std::string list;
    EXPECT_NE(std::string::npos, stage::ReadFile(installed).find("SETUP-SEAL 1 ")) << "the copy carries the seal";
    EXPECT_EQ(1603u, RunSilent(kTarget, "/S \"/LOG=" + dir + "-copy.log\""));
    text = stage::ReadFile(dir + "-copy.log");
    EXPECT_NE(std::string::npos, text.find("installed product's uninstaller")) << text;
    EXPECT_EQ(std::string::npos, text.find("sealed")) << text;

    // A record written beside the sealed Setup.exe, naming its own folder as the install
    // folder, is a changed script like any other.
    std::string forged = StageSealed("forged", false);
    ASSERT_TRUE(stage::WriteFile("C:\\Windows\\seal-canary.ini", "[x]\r\n"));
    stage::SetIni(forged + "\\Setup.ini", "CopiedFile", "Count", "1");
    stage::SetIni(forged + "\\Setup.ini", "CopiedFile", "0", "C:\\Windows\\seal-canary.ini");
    stage::SetIni(forged + "\\Setup.ini", "Root", "Named", forged.c_str());
    for (const char* mode : {"uninstall /S", "/S"}) {
        EXPECT_EQ(1603u, RunSilent(forged, std::string(mode) + " \"/LOG=" + forged + ".log\"")) << mode;
        EXPECT_NE(std::string::npos, stage::ReadFile(forged + ".log").find("Setup.ini has been changed"))
            << mode << "\n" << stage::ReadFile(forged + ".log");
        EXPECT_TRUE(stage::Exists("C:\\Windows\\seal-canary.ini")) << mode;
        EXPECT_TRUE(stage::Exists(forged + "\\Setup.exe")) << mode;
    }

    // The registered quiet uninstall of the sealed product.
    plancheck::InstallPlan removal(kTarget, true);
    ASSERT_TRUE(removal.available());
    EXPECT_EQ(0u, RunSilent(kTarget, "uninstall /S"));
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(kTarget); }, 20000)) << "the uninstaller removes itself";
    EXPECT_EQ("", removal.Disagreements());
}

// A file planted after sealing under the name of an optional entry, which the author's
// folder did not hold, is not installed: the sealed script names it, the seal does not.
TEST(Seal, AFileAddedAfterSealingIsNotInstalled) {
    ASSERT_NE("", SampleSource());
    stage::DeleteTree(kTarget);
    stage::Folder folder("planted");
    ASSERT_TRUE(stage::CopyTree(SampleSource(), folder.dir()));
    stage::SetIni(folder.Script(), "CopyFile", "5", "*plugin.dll");
    std::string out;
    ASSERT_EQ(0u, plancheck::RunTool("seal \"" + folder.dir() + "\"", &out)) << out;
    ASSERT_TRUE(stage::WriteFile(folder.Path("plugin.dll"), "planted after sealing"));

    std::string log = folder.dir() + ".log";
    EXPECT_EQ(0u, RunSilent(folder.dir(), "/S \"/LOG=" + log + "\"")) << stage::ReadFile(log);
    std::string text = stage::ReadFile(log);
    EXPECT_NE(std::string::npos, text.find("  checked  ")) << "the first check passes: the file is not sealed";
    EXPECT_NE(std::string::npos, text.find("plugin.dll  <- " + folder.Path("plugin.dll") +
                                           "  (not in the seal: not copied)"))
        << text;
    EXPECT_FALSE(stage::Exists(std::string(kTarget) + "\\plugin.dll")) << "the planted file was installed";
    EXPECT_TRUE(stage::Exists(std::string(kTarget) + "\\readme.txt")) << "the sealed files are installed";
    EXPECT_EQ(0u, RunSilent(kTarget, "uninstall /S"));
    EXPECT_TRUE(ui::WaitUntil([&] { return !stage::Exists(kTarget); }, 20000)) << "the uninstaller removes itself";
}
