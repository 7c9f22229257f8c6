// The real Setup.exe against scripts that a careless or hostile author could ship: values
// too long for their buffers, binary garbage, a UTF-16 file, a 20 MB script, 100,000
// missing files, paths and tokens that overflow, absurd counts, folders that name files
// or the system's own. Each install and each uninstall must end by itself within 60 s,
// without a crash, and nothing that existed before may be deleted or changed: neither on
// drive C: nor in the registry, nor by what is left for the next restart.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "listing.h"

using namespace e2e;

namespace {

constexpr DWORD kLimit = 60000;

std::string Repeat(char c, size_t n) { return std::string(n, c); }

void Phase(const char* what) {
    static DWORD start = GetTickCount();
    fprintf(stderr, "  [%6.1f s] %s\n", (GetTickCount() - start) / 1000.0, what);
}

// ---- what the machine holds ------------------------------------------------------

using Snapshot = listing::Entries;

bool Excluded(const std::string& lower) {
    // The test's own stages, and the products' folders, whose files the records name.
    static const char* const skipped[] = {"c:\\stage", "c:\\unit", "c:\\windows\\temp", "c:\\delus.bat",
                                          "c:\\hostile"};
    for (const char* s : skipped)
        if (lower.compare(0, strlen(s), s) == 0) return true;
    return lower.find("\\temp\\") != std::string::npos || (lower.size() > 5 && lower.substr(lower.size() - 5) == "\\temp");
}

// The registry's own links (the 32-bit views, the classes) would be listed again and again.
bool RegistryLink(const std::string& lower) {
    return (lower.size() >= 12 && lower.compare(lower.size() - 12, 12, "\\wow6432node") == 0) ||
           lower == "hkey_local_machine\\software\\classes" || lower == "hkey_current_user\\software\\classes";
}

Snapshot Machine() {
    listing::FileOptions files;
    files.lowerCase = true;
    files.skip = Excluded;
    Snapshot s = listing::Files("C:", files);
    Phase("  files listed");
    listing::KeyOptions keys;
    keys.lowerCase = true;
    keys.skip = RegistryLink;
    keys.maxDepth = 16;
    listing::AddKeys(HKEY_LOCAL_MACHINE, "SOFTWARE", keys, &s);
    listing::AddKeys(HKEY_CURRENT_USER, "Software", keys, &s);
    // The file types the hostile associations name, and the system keys they aim at.
    for (const char* key : {".txt", "txtfile", ".htm", "htmlfile", ".exe", "exefile", ".hostilebare"})
        listing::AddKeys(HKEY_CLASSES_ROOT, key, keys, &s);
    listing::AddKeys(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", keys, &s);
    // Restart instructions are judged apart, below.
    for (auto it = s.begin(); it != s.end();)
        it = it->first.find("pendingfilerenameoperations") != std::string::npos ? s.erase(it) : std::next(it);
    return s;
}

// ---- the runs ------------------------------------------------------------------------

struct Launch {
    std::string what;
    std::unique_ptr<ui::Program> program = std::make_unique<ui::Program>();
    DWORD started = 0, took = 0, exitCode = STILL_ACTIVE;
    int boxes = 0;
    bool ended = false;
};

// Runs the programs side by side, answering every message box with No or OK,
// until each has ended or kLimit has passed; the late ones are killed.
void RunAll(std::vector<Launch>& runs) {
    for (;;) {
        bool busy = false;
        for (Launch& r : runs) {
            if (r.ended) continue;
            DWORD code = STILL_ACTIVE;
            if (r.program->Wait(0, &code)) {
                r.ended = true;
                r.exitCode = code;
                r.took = GetTickCount() - r.started;
                continue;
            }
            if (GetTickCount() - r.started > kLimit) {
                r.took = GetTickCount() - r.started;
                r.program->Kill();
                r.ended = true;
                r.exitCode = 0xDEAD;
                continue;
            }
            busy = true;
            if (HWND box = ui::WaitForMessageBox(r.program->pid(), 0)) {
                ++r.boxes;
                ui::Click(box, GetDlgItem(box, IDNO) ? IDNO : IDOK);  // never a restart
                ui::WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 3000);
            }
        }
        if (!busy) return;
        Sleep(100);
    }
}

std::string Verdict(const Launch& r) {
    if (r.exitCode == 0xDEAD) return r.what + ": did not end within 60 s";
    if (r.exitCode >= 0xC0000000) return r.what + ": crashed with exception " + std::to_string(r.exitCode);
    if (r.exitCode != 0) return r.what + ": exit code " + std::to_string(r.exitCode);
    return "";
}

// ---- the scripts -----------------------------------------------------------------------

struct Case {
    std::string name;           // also the stage folder and, mostly, the install folder
    std::string script;         // the bytes of Setup.ini
    bool record = false;        // the stage's script is already an install record
    std::function<void(const stage::Folder&)> prepare;
    std::function<void(const stage::Folder&)> verify;  // after every run, beside the machine's listing
    std::string folder;  // where the product goes: C:\<name> when empty
};

std::string ShellFolder(const char* name) {
    std::string folder;
    stage::GetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name,
                        &folder);
    return folder;
}

constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kPlantedMarker[] = "C:\\hostile-planted-ran.txt";

std::string ProgramFiles() {
    std::string programs;
    stage::GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", &programs);
    return programs;
}

std::string Lines(const std::vector<std::string>& lines) { return Crlf(lines); }

// Sections of every kind, with all option boxes on, so that every step runs.
std::vector<std::string> Common(const std::string& name) {
    return {"[Setup]", "Name=" + name, "Auto=1", "[Root]", "Name=" + name, "[Check]", "Menu=2", "Desktop=2",
            "Startup=2", "Ext=2", "Send=2", "Copy=2", "Del=2"};
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    std::string v300 = Repeat('v', 300);
    cases.push_back({"HostileLong",
                     Lines({"[Setup]", "Name=" + v300, "Auto=1", "[Root]", "Name=" + Repeat('r', 300), "[Check]",
                            "Menu=2", "Desktop=2", "Startup=2", "Ext=2", "Send=2", "Copy=2", "[MakeDirectory]",
                            "1=" + v300, "[CopyFile]", "0=" + v300, "1=a.txt", "Self=" + v300, "[Del]", "0=" + v300,
                            "[DirRemove]", "1=" + v300, "[Back]", "Do=1", "0=|" + v300, "1=rect," + v300,
                            "2=font,1,2,3," + v300, "[Menu]", "Name=" + v300, "[Menu0]", "Name=" + v300,
                            "Path=" + v300, "Icon=" + v300, "Work=" + v300, "Arg=" + v300, "[Desktop]",
                            "Name=" + v300, "Short=" + v300, "Path=" + v300, "[Send0]", "Name=" + v300, "[Reg]",
                            "Make0=HKEY_CURRENT_USER\\Software\\HostileLong\\\\v\\" + v300, "Erase0=" + v300,
                            "[Registry]", "Company=" + v300, "Name=" + v300, "[Ext0]", "Ext=." + v300,
                            "Kind=" + v300, "Verb=" + v300, "Command=" + v300, "[Go2]", "Make0=" + v300 + ";;hide",
                            "Erase0=" + v300 + ";" + v300 + ";" + v300, "[LastGo]", "0=" + v300, "[Readme]",
                            "File=" + v300}),
                     false, [](const stage::Folder& f) { f.Put("a.txt", "a"); }});
    std::vector<std::string> entries = Common("HostileEntries");
    for (const std::string& line : std::vector<std::string>{"[Reg]", "Make0=HKEY_CURRENT_USER\\Software\\HostileEntries\\\\v\\" + Repeat('d', 1000),
          "Make1=HKEY_CURRENT_USER\\Software\\" + Repeat('k', 5000) + "\\\\v\\x", "Erase0=" + Repeat('\\', 5000),
          "[Go2]", "Make0=\"" + Repeat('p', 5000) + ";entry;hide", "Make1=" + Repeat('%', 1039) + ";;hide",
          "[CopyFile]", "0=" + Repeat('c', 5000)})
        entries.push_back(line);
    cases.push_back({"HostileEntries", Lines(entries)});

    std::string garbage = Lines({"[Setup]", "Auto=1", "[Root]", "Name=HostileGarbage", "[CopyFile]", "0=a.txt"});
    unsigned seed = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        seed = seed * 1103515245 + 12345;
        garbage += (char)(seed >> 16);
        static const char kNuls[] = "\r\n[Menu0]\r\nName=\0x\r\n0=%root%\\\0\r\n";
        if (i % 997 == 0) garbage.append(kNuls, sizeof kNuls - 1);
    }
    cases.push_back({"HostileGarbage", garbage, false, [](const stage::Folder& f) { f.Put("a.txt", "a"); }});

    std::string plain = Lines({"[Setup]", "Name=HostileWide", "Auto=1", "[Root]", "Name=HostileWide", "[CopyFile]",
                               "0=a.txt"});
    std::string wide = "\xFF\xFE";
    for (char c : plain) wide += std::string(1, c) + '\0';
    cases.push_back({"HostileWide", wide, false, [](const stage::Folder& f) { f.Put("a.txt", "a"); }});

    std::string huge = Lines({"[Setup]", "Name=HostileHuge", "Auto=1", "[Root]", "Name=HostileHuge", "[CopyFile]",
                              "0=a.txt", "[Filler]"});
    std::string filler = "k=" + Repeat('f', 1000) + "\r\n";
    while (huge.size() < 20u << 20) huge += filler;
    cases.push_back({"HostileHuge", huge, false, [](const stage::Folder& f) { f.Put("a.txt", "a"); }});

    std::string missing = Lines({"[Setup]", "Name=HostileMissing", "Auto=1", "[Root]", "Name=HostileMissing",
                                 "[CopyFile]"});
    for (int i = 0; i < 100000; ++i) missing += std::to_string(i) + "=missing\\file" + std::to_string(i) + ".dat\r\n";
    cases.push_back({"HostileMissing", missing});

    std::string rootTokens;
    for (int i = 0; i < 12; ++i) rootTokens += "%root%";
    cases.push_back({"HostileOverflow",
                     Lines({"[Setup]", "Name=HostileOverflow", "Auto=1", "[Root]",
                            "Name=%programs%\\" + Repeat('o', 240), "[MakeDirectory]", "1=" + Repeat('m', 250),
                            "[CopyFile]", "0=sub\\" + Repeat('n', 200) + ".txt", "1=%windows%\\" + Repeat('w', 255),
                            "[Del]", "0=%windows%\\" + Repeat('w', 255), "1=%root%\\" + Repeat('x', 255) + "\\*.*",
                            "[DirRemove]", "1=%programs%\\" + Repeat('p', 255), "[Go2]",
                            "Make0=" + rootTokens + "\\x.exe;;hide", "[Back]", "Do=1", "0=text," + rootTokens})});

    cases.push_back({"HostileTokens",
                     Lines({"[Setup]", "Name=HostileTokens", "Auto=1", "[Root]", "Name=HostileTokens", "[CopyFile]",
                            "0=%root%%system%x.txt", "1=%%windows%%x", "2=%windows", "3=%unknown%\\..\\..\\x",
                            "[Del]", "0=%windows", "1=%%", "2=%system%%windows%*.*", "3=%root%\\..\\..\\*.*",
                            "[DirRemove]", "1=%root%\\..\\..", "2=%desktop%", "3=%root%%root%", "[Go2]",
                            "Make0=%windows;;hide", "Make1=%%%%%;;hide", "Erase0=%root%%root%;;hide", "[Back]",
                            "Do=1", "0=bitmap,%root%%root%x.bmp", "1=meta,%windows", "2=text,%system%"})});

    // Install records with counts no writer makes: the uninstall reads them.
    for (const char* count : {"-1", "2147483648", "2147483647"}) {
        std::string name = std::string("HostileCount") + (count[0] == '-' ? "Minus" : count[9] == '8' ? "Over" : "Max");
        std::string folder = "C:\\" + name;
        cases.push_back({name,
                         Lines({"[Setup]", "Name=" + name, "[Root]", "Name=" + name, "Named=" + folder,
                                "[CopiedFile]", std::string("Count=") + count, "0=" + folder + "\\a.txt",
                                "5=" + folder + "\\b.txt", "[MakedDirectory]", std::string("Count=") + count,
                                "0=" + folder, "3=" + folder + "\\sub"}),
                         true, [folder](const stage::Folder&) {
                             stage::WriteFile(folder + "\\a.txt", "a");
                             stage::WriteFile(folder + "\\b.txt", "b");
                             stage::MakeFolders(folder + "\\sub");
                         }});
    }

    std::vector<std::string> makeDir = Common("HostileFolders");
    for (const std::string& line : std::vector<std::string>{std::string("[MakeDirectory]"), std::string("1=app.txt"), std::string("2=..\\..\\windows\\win.ini"),
          std::string("3=..\\..\\Program Files"), std::string("4=..\\..\\users"), std::string("[CopyFile]"),
          std::string("0=app.txt"), std::string("[Del]"), std::string("Reboot=1"), std::string("Force=1")})
        makeDir.push_back(line);
    cases.push_back({"HostileFolders", Lines(makeDir), false, [](const stage::Folder& f) { f.Put("app.txt", "a"); }});

    cases.push_back({"HostileSystem",
                     Lines({"[Setup]", "Name=HostileSystem", "Auto=1", "[Root]", "Name=HostileSystem", "[CopyFile]",
                            "0=a.txt", "[DirRemove]", "1=%windows%", "2=!C:\\", "3=%programs%", "4=%desktop%",
                            "5=!C:\\users", "6=%system%", "[Del]", "0=%windows%\\*.*", "1=!C:\\*.*",
                            "2=%system%\\*.dll", "3=%desktop%\\*.*", "4=%programs%\\*.*", "5=!C:\\users\\*.*",
                            "Force=1", "Reboot=1", "ShowError=1", "[Reg]",
                            "Erase0=HKEY_CURRENT_USER\\Software", "Erase1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft",
                            "Erase2=HKEY_CLASSES_ROOT\\txtfile", "Erase3=HKEY_CURRENT_USER\\Software\\Wine\\x",
                            "[Registry]", "Company=Microsoft", "[Ext0]", "Ext=.txt", "Kind=txtfile", "Verb=open",
                            "Command=x.exe", "Force=1"}),
                     false, [](const stage::Folder& f) { f.Put("a.txt", "a"); }});

    // ---- what a merely sloppy script names, which belongs to others -------------------
    // Other programs' file types and extensions: adopted, rewritten, taken over or removed
    // by name alone before. The box on, and (next case) off.
    for (const char* box : {"2", "1"}) {
        std::string name = std::string("HostileAssoc") + (box[0] == '2' ? "On" : "Off");
        cases.push_back({name,
                         Lines({"[Setup]", "Name=" + name, "Auto=1", "[Root]", "Name=" + name, "[Check]",
                                std::string("Ext=") + box, "[CopyFile]", "0=notes.exe", "[Ext0]", "Ext=.htm",
                                "Kind=htmlfile", "Verb=edit", "Command=\"%root%notes.exe\" \"%1\"", "Icon=%root%notes.exe",
                                "[Ext1]", "Ext=.txt", "Kind=Notes.Note", "Verb=open", "Verb2=open",
                                "Command=%root%notes.exe %1", "[Ext2]", "Ext=.exe", "Kind=Notes.Note", "Verb=open",
                                "Command=%root%notes.exe %1", "Force=1", "[Ext3]", "Ext=.hostilebare",
                                "Kind=" + name + ".Bare", "Verb=open", "Command=%root%notes.exe %1"}),
                         false, [](const stage::Folder& f) {
                             f.Put("notes.exe", "MZ");
                             // An extension key without a type name, holding another program's value.
                             stage::SetRegString(HKEY_CLASSES_ROOT, ".hostilebare", "Content Type", "text/other");
                         }});
    }

    // Other programs' shortcuts under the names a script gives its own: the desktop box
    // shown unchecked (a first install removed it), the Start-menu folder empty (links go
    // straight into Programs), Send To; and a Start-menu folder that is the Startup folder.
    cases.push_back({"HostileLinks",
                     Lines({"[Setup]", "Name=HostileLinks", "Auto=1", "[Root]", "Name=HostileLinks", "[Check]",
                            "Menu=2", "Desktop=1", "Send=2", "[CopyFile]", "0=app.exe", "[Menu]", "Name=",
                            "[Menu0]", "Name=Command Prompt", "Path=app.exe", "[Desktop]", "Name=Notepad",
                            "Path=app.exe", "[Send0]", "Name=Foreign Tool", "Path=app.exe"}),
                     false, [](const stage::Folder& f) {
                         f.Put("app.exe", "MZ");
                         stage::WriteFile(ShellFolder("Programs") + "\\Command Prompt.lnk", "another program's link");
                         stage::WriteFile(ShellFolder("Desktop") + "\\Notepad.lnk", "another program's link");
                         stage::WriteFile(ShellFolder("SendTo") + "\\Foreign Tool.lnk", "another program's link");
                         SetFileAttributesA((ShellFolder("Desktop") + "\\Notepad.lnk").c_str(), FILE_ATTRIBUTE_READONLY);
                     }});
    cases.push_back({"HostileStartup",
                     Lines({"[Setup]", "Name=HostileStartup", "Auto=1", "[Root]", "Name=HostileStartup", "[Check]",
                            "Menu=2", "[CopyFile]", "0=app.exe", "[Menu]", "Name=Startup", "[Menu0]",
                            "Name=Hostile App", "Path=app.exe"}),
                     false, [](const stage::Folder& f) {
                         f.Put("app.exe", "MZ");
                         stage::MakeFolders(ShellFolder("Programs") + "\\Startup");
                     }});

    // Protected folders under other spellings: a short name (as this system makes it), a
    // local share, a device path.
    std::string documents = ShellFolder("Personal"), shortName = documents;
    char shortPath[MAX_PATH] = "";
    if (GetShortPathNameA(documents.c_str(), shortPath, sizeof shortPath)) shortName = shortPath;
    shortName = shortName.substr(shortName.rfind('\\') + 1);
    cases.push_back({"HostileSpelling",
                     Lines({"[Setup]", "Name=HostileSpelling", "Auto=1", "[Root]", "Name=HostileSpelling",
                            "[CopyFile]", "0=a.txt", "[Del]", "0=%desktop%\\..\\" + shortName + "\\*.*",
                            "1=!\\\\localhost\\C$\\windows\\*.ini", "2=!\\\\?\\C:\\windows\\*.ini",
                            "3=!\\\\.\\C:\\users\\*.*", "Force=1", "[DirRemove]", "1=%desktop%\\..\\MUSIC"}),
                     false, [](const stage::Folder& f) {
                         f.Put("a.txt", "a");
                         stage::WriteFile(ShellFolder("Personal") + "\\hostile-user-file.txt", "the user's own");
                     }});

    // The system's own keys, and keys that existed before: erased whole, or pruned.
    cases.push_back({"HostileKeys",
                     Lines({"[Setup]", "Name=HostileKeys", "Auto=1", "[Root]", "Name=HostileKeys", "[CopyFile]",
                            "0=a.txt", "[Reg]",
                            "Make0=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\\\HostileKeys\\!x",
                            "Erase0=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                            "Erase1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                            "Erase2=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                            "Erase3=HKEY_CLASSES_ROOT\\exefile\\shell",
                            "Erase4=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\HostileKeys",
                            "[Registry]", "Company=ODBC"}),
                     false, [](const stage::Folder& f) {
                         f.Put("a.txt", "a");
                         // An empty RunOnce that was there before the product, and the machine's ODBC key.
                         HKEY key;
                         if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
                             RegCloseKey(key);
                         stage::SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI", "Hostile", "the machine's");
                     }});

    // Another program's folder and Uninstall key under the name the script gives.
    cases.push_back({"HostileOtherTool",
                     Lines({"[Setup]", "Name=HostileOtherTool", "Auto=1", "[Root]", "Name=%programs%\\Other Tool",
                            "[CopyFile]", "0=a.txt", "[Del]", "Auto=1"}),
                     false, [](const stage::Folder& f) {
                         f.Put("a.txt", "a");
                         std::string programs = ProgramFiles();
                         stage::WriteFile(programs + "\\Other Tool\\uninst.exe", "another installer's uninstaller");
                         std::string key = std::string(kUninstall) + "Other Tool";
                         stage::SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", "Other Tool 3.1");
                         stage::SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "UninstallString",
                                             ("\"" + programs + "\\Other Tool\\uninst.exe\"").c_str());
                     },
                     nullptr, ProgramFiles() + "\\Other Tool"});

    // An install into an existing shell folder: its self-removal must leave the folder.
    cases.push_back({"HostileMusic",
                     Lines({"[Setup]", "Name=HostileMusic", "Auto=1", "[Root]", "Name=%desktop%\\..\\Music",
                            "[CopyFile]", "0=song-player.exe"}),
                     false,
                     [](const stage::Folder& f) {
                         f.Put("song-player.exe", "MZ");
                         stage::MakeFolders(ShellFolder("My Music"));
                     },
                     [](const stage::Folder&) {
                         EXPECT_TRUE(stage::Exists(ShellFolder("My Music"))) << "the user's Music folder must stay";
                     },
                     ShellFolder("Desktop") + "\\..\\Music"});

    // A record beside a copy that is not in the install folder it names (a download folder
    // whose script an older version turned into a record), read-only, whose patterns aim
    // at the download folder itself: the uninstall takes the product, never the copy, its
    // record or the shipped files.
    cases.push_back({"HostileElsewhere",
                     Lines({"[Setup]", "Name=HostileElsewhere", "[Root]", "Name=HostileElsewhere",
                            "Named=C:\\HostileElsewhereApp", "[CopiedFile]", "0=C:\\HostileElsewhereApp\\a.txt",
                            "1=C:\\HostileElsewhereApp\\sub", "Count=2", "[MakedDirectory]", "0=C:\\HostileElsewhereApp",
                            "Count=1", "[Del]", "Reboot=1"}),
                     true,
                     [](const stage::Folder& f) {
                         stage::WriteFile("C:\\HostileElsewhereApp\\a.txt", "a");
                         stage::MakeFolders("C:\\HostileElsewhereApp\\sub");  // a "file" that is a folder stays
                         f.Put("shipped.txt", "shipped with the product");
                         SetFileAttributesA(f.Script().c_str(), FILE_ATTRIBUTE_READONLY);
                     },
                     [](const stage::Folder& f) {
                         EXPECT_TRUE(stage::Exists(f.Path("Setup.exe"))) << "the copy outside its install folder stays";
                         EXPECT_TRUE(stage::Exists(f.Script())) << "its record stays";
                         EXPECT_EQ("shipped with the product", stage::ReadFile(f.Path("shipped.txt")));
                         EXPECT_FALSE(stage::Exists("C:\\HostileElsewhereApp\\a.txt")) << "the product's file goes";
                         for (const PendingRename& p : PendingRenames())
                             EXPECT_EQ(std::string::npos, Lower(p.from).find("c:\\stage\\hostileelsewhere"))
                                 << "scheduled for the restart: " << p.from;
                         SetFileAttributesA(f.Script().c_str(), FILE_ATTRIBUTE_NORMAL);
                         stage::DeleteTree("C:\\HostileElsewhereApp");
                     }});

    // A program planted beside Setup.exe under a bare name the launch entries use.
    cases.push_back({"HostileLaunch",
                     Lines({"[Setup]", "Name=HostileLaunch", "Auto=1", "[Root]", "Name=HostileLaunch", "[CopyFile]",
                            "0=a.txt", "[Go2]", "Make0=hostileplanted readme.txt", "Make1=hostileplanted.bat;;hide",
                            "Erase0=hostileplanted;;hide"}),
                     false,
                     [](const stage::Folder& f) {
                         f.Put("a.txt", "a");
                         f.Put("hostileplanted.bat", std::string("@echo planted > ") + kPlantedMarker + "\r\n");
                         DeleteFileA(kPlantedMarker);
                     },
                     [](const stage::Folder&) {
                         EXPECT_FALSE(stage::Exists(kPlantedMarker)) << "the program planted beside Setup.exe ran";
                         DeleteFileA(kPlantedMarker);
                     }});
    return cases;
}

// Where a case's product went: a record names it; a setup script stays as shipped.
std::string InstallFolder(const Case& c, const stage::Folder& folder) {
    if (c.record) return folder.dir();
    return c.folder.empty() ? "C:\\" + c.name : c.folder;
}

}  // namespace

TEST(Hostile, ScriptsEndByThemselvesAndTouchNothingForeign) {
    Phase("start");
    std::vector<Case> cases = Cases();
    const char* only = getenv("HOSTILE_ONLY");  // one case by name, for a closer look
    if (only) {
        std::vector<Case> chosen;
        for (const Case& c : cases)
            if (c.name == only) chosen.push_back(c);
        cases = chosen;
    }
    std::vector<std::unique_ptr<stage::Folder>> stages;
    for (const Case& c : cases) {
        stage::DeleteTree("C:\\" + c.name);
        stages.push_back(std::make_unique<stage::Folder>(c.name));
        ASSERT_TRUE(stage::WriteFile(stages.back()->Script(), c.script)) << c.name;
        if (c.prepare) c.prepare(*stages.back());
    }
    Phase("stages written");
    std::vector<PendingRename> pendingBefore = PendingRenames();
    PendingSnapshot restorePending;
    Snapshot before = Machine();
    ASSERT_GT(before.size(), 1000u) << "the machine listing is incomplete";
    Phase("machine listed");

    // Every install at once; a record is uninstalled from its stage instead.
    std::vector<Launch> installs;
    for (size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].record) continue;
        installs.emplace_back();
        installs.back().what = cases[i].name + " install";
        installs.back().started = GetTickCount();
        ASSERT_TRUE(installs.back().program->Start(stages[i]->Path("Setup.exe"), "", stages[i]->dir()));
    }
    RunAll(installs);
    Phase("installs ended");
    for (const Launch& r : installs) {
        EXPECT_EQ("", Verdict(r));
        fprintf(stderr, "  %-28s %6.1f s, %d message boxes\n", r.what.c_str(), r.took / 1000.0, r.boxes);
    }

    // Then each uninstall in turn: the self-removal's batch file has one fixed name.
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string folder = InstallFolder(cases[i], *stages[i]);
        std::string exe = folder + "\\Setup.exe";
        if (!stage::Exists(exe) || !stage::Exists(folder + "\\Setup.ini")) {
            fprintf(stderr, "  %-28s no uninstaller placed in %s\n", cases[i].name.c_str(), folder.c_str());
            continue;
        }
        std::vector<Launch> one(1);
        one[0].what = cases[i].name + " uninstall";
        one[0].started = GetTickCount();
        ASSERT_TRUE(one[0].program->Start(exe, "uninstall", folder));
        RunAll(one);
        EXPECT_EQ("", Verdict(one[0]));
        fprintf(stderr, "  %-28s %6.1f s, %d message boxes\n", one[0].what.c_str(), one[0].took / 1000.0, one[0].boxes);
        // A record beside a copy outside its install folder never removes the copy.
        if (!cases[i].record) ui::WaitUntil([&] { return !stage::Exists(exe) && BatchFiles().empty(); }, 20000, 200);
    }

    Phase("uninstalls ended");
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        if (cases[i].verify) cases[i].verify(*stages[i]);
    }
    Snapshot after = Machine();
    EXPECT_EQ("", listing::Difference(before, after, false)) << "deleted or changed what existed before the installs";
    std::string scheduled;
    for (const PendingRename& p : PendingRenames()) {
        bool old = false;
        for (const PendingRename& q : pendingBefore) old |= q.from == p.from && q.to == p.to;
        std::string lower = Lower(p.from);
        bool ours = lower.find("\\hostile") != std::string::npos || lower.find("\\stage\\") != std::string::npos;
        if (!old && !ours) scheduled += "  " + p.from + " -> '" + p.to + "'\n";
    }
    EXPECT_EQ("", scheduled) << "left for the restart outside what the installs made";
    for (size_t i = 0; i < cases.size(); ++i) {
        stage::DeleteTree("C:\\" + cases[i].name);
        if (!cases[i].record && !cases[i].folder.empty() && cases[i].name != "HostileMusic")
            stage::DeleteTree(cases[i].folder);
    }
}
