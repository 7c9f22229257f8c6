// The product's entry in the list of installed programs, and its removal with the
// product's settings keys, against the test prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "registry/registry.h"
#include "registry_fixtures.h"
#include "script/created.h"

using namespace regtest;

namespace {

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const HKEY kRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
const char* RootName(HKEY root) { return root == HKEY_CURRENT_USER ? "HKCU" : "HKLM"; }

TEST(RegisterUninstall, NameAndCommandFollowTheScript) {
    const struct {
        const char* why;
        std::vector<std::string> lines;  // ending in the [Root] section
        std::string displayName, command;  // "<no key>": nothing registered
    } cases[] = {
        {"Auto 1", {"[Setup]", "Name=Tool 2.0", "[Del]", "Auto=1", "[Root]", "Named=C:\\Program Files\\Tool"},
         "Tool 2.0", "\"C:\\Program Files\\Tool\\Setup.exe\" uninstall"},
        {"Auto 0", {"[Setup]", "Name=Tool 2.0", "[Del]", "Auto=0", "[Root]", "Named=C:\\Program Files\\Tool"},
         "Tool 2.0", "\"C:\\Program Files\\Tool\\Setup.exe\""},
        {"no Auto, no Setup Name", {"[Root]", "Named=C:\\Tool\\"}, "<absent>", "\"C:\\Tool\\Setup.exe\""},
        // The command stays within 259 bytes; without one the key could never be told
        // from another program's, so there is none.
        {"quotes and suffix fill 259 bytes", {"[Del]", "Auto=1", "[Root]", "Named=C:\\" + std::string(234, 'f')},
         "<absent>", "\"C:\\" + std::string(234, 'f') + "\\Setup.exe\" uninstall"},
        {"no room for the suffix", {"[Del]", "Auto=1", "[Root]", "Named=C:\\" + std::string(235, 'f')}, "<no key>",
         "<no key>"},
        {"no install folder", {"[Setup]", "Name=T", "[Root]"}, "<no key>", "<no key>"},
    };
    for (const auto& c : cases) {
        ScopedTree product(kMachine, kUninstall + "\\SetupRegTool");
        std::vector<std::string> lines = c.lines;
        lines.push_back("Name=SetupRegTool");
        UseScript(lines);
        RegisterUninstall();
        const bool made = KeyExists(kMachine, product.key());
        EXPECT_EQ(c.displayName, made ? Text(kMachine, product.key(), "DisplayName") : "<no key>") << c.why;
        EXPECT_EQ(c.command, made ? Text(kMachine, product.key(), "UninstallString") : "<no key>") << c.why;
    }
}

TEST(RegisterUninstall, ExtraValuesDescribeTheInstallAndAVersionUpLeavesNoneStale) {
    char here[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof here, here);
    const std::string folder = std::string(here) + "\\size app";
    std::vector<std::string> lines = {"[Setup]", "Name=Sized", "Publisher=Acme Ltd.", "Version=2.1.0", "[Root]",
                                      "Name=SetupRegSized", "Named=" + folder, "[Desktop]", "Icon=%root%app.exe",
                                      "IconNo=2", "[CopiedFile]", "Count=5", "3=" + folder + "\\deleted by the user.bin",
                                      "4=" + folder};  // a folder counts nothing
    const size_t sizes[] = {1, 2048, 1500};  // 3549 bytes: 4 KiB rounded up
    for (size_t i = 0; i < 3; ++i) {
        std::string file = folder + "\\f" + std::to_string(i) + ".bin";
        ASSERT_TRUE(stage::WriteFile(file, std::string(sizes[i], 'x')));
        lines.push_back(std::to_string(i) + "=" + file);
    }
    ScopedTree product(kMachine, kUninstall + "\\SetupRegSized");
    EXPECT_EQ(4u, RecordedFilesKiB(UseScript(lines).c_str()));
    RegisterUninstall();
    const struct {
        const char* value;
        std::string want;
        bool number;
    } first[] = {
        {"DisplayName", "Sized", false},           {"UninstallString", "\"" + folder + "\\Setup.exe\"", false},
        {"QuietUninstallString", "\"" + folder + "\\Setup.exe\" uninstall /S", false},
        {"InstallLocation", folder, false},        {"DisplayIcon", folder + "\\app.exe,2", false},
        {"Publisher", "Acme Ltd.", false},         {"DisplayVersion", "2.1.0", false},
        {"NoModify", "1", true},                   {"NoRepair", "1", true},
        {"EstimatedSize", "4", true},
    };
    for (const auto& v : first) EXPECT_EQ(v.want, Value(kMachine, product.key(), v.value, v.number)) << v.value;

    // The next install of the product has no publisher, version, icon or files of its own.
    UseScript({"[Setup]", "Name=Sized 3", "[Root]", "Name=SetupRegSized", "Named=" + folder});
    RegisterUninstall();
    const std::pair<const char*, std::string> second[] = {
        {"DisplayName", "Sized 3"},      {"DisplayIcon", folder + "\\Setup.exe"}, {"Publisher", "<absent>"},
        {"DisplayVersion", "<absent>"}, {"EstimatedSize", "<absent>"},
    };
    for (const auto& v : second) EXPECT_EQ(v.second, Text(kMachine, product.key(), v.first)) << v.first;
}

TEST(RegisterUninstall, AnEmptyOrUnusableProductNameRegistersNothing) {
    ScopedTree bad(kMachine, kUninstall + "\\SetupRegA");
    const std::vector<std::string> before = Subkeys(kMachine, kUninstall);
    for (const char* name : {"", "SetupRegA\\B", "..", "\\"}) {
        UseScript({"[Setup]", "Name=Nameless", "[Root]", std::string("Name=") + name, "Named=C:\\Nameless"});
        RegisterUninstall();
        EXPECT_EQ(before, Subkeys(kMachine, kUninstall)) << "[Root] Name \"" << name << "\"";
        EXPECT_EQ("<absent>", Text(kMachine, kUninstall, "DisplayName")) << "written into the Uninstall key itself";
    }
}

// A record written before facts were kept, of an install into C:\x: the content check
// alone decides.
std::vector<std::string> OlderRecord(const std::vector<std::string>& lines) {
    std::vector<std::string> all = {"[CopiedFile]", "Count=1", "[Root]", "Named=C:\\x"};
    all.insert(all.end(), lines.begin(), lines.end());
    return all;
}

// Settings keys of two products of one company under both roots, and registrations.
class ProductKeys : public testing::Test {
protected:
    void TearDown() override {
        for (HKEY root : kRoots)
            for (const char* company : {"SOFTWARE\\SetupRegCo", "SOFTWARE\\SetupRegCo2"}) RemoveTree(root, company);
        for (const char* name : {"\\SetupRegTool", "\\SetupRegOther", "\\SetupRegProd"})
            RemoveTree(kMachine, kUninstall + name);
    }
    static bool Settings(const std::string& path) {
        bool made = true;
        for (HKEY root : kRoots) made = made && PutText(root, path + "\\Deep", "v", "1") && PutText(root, path, "v", "1");
        return made;
    }
    static bool Registered(const char* name, const std::string& command = "C:\\x\\Setup.exe") {
        return PutText(kMachine, kUninstall + "\\" + name, "UninstallString", command);
    }
    // The install's part of the registry steps on a record that keeps facts, earlier the
    // earlier install's record; returns the record.
    static std::string Install(const std::vector<std::string>& lines, const std::string& earlier = "") {
        std::vector<std::string> all = {"[CopiedFile]", "Count=1", "[Setup]", "Name=Registered Tool"};
        all.insert(all.end(), lines.begin(), lines.end());
        std::string script = UseScript(all);
        StartCreatedFacts(script.c_str());
        CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, earlier.c_str());
        RegisterUninstall();
        return script;
    }
};

TEST_F(ProductKeys, SettingsGoUnderBothRootsAndASiblingProductStays) {
    ASSERT_TRUE(Settings("SOFTWARE\\SetupRegCo\\Tool") && Settings("SOFTWARE\\SetupRegCo\\Other") &&
                Settings("SOFTWARE\\SetupRegCo2\\Tool") && Registered("SetupRegTool") && Registered("SetupRegOther"));
    UseScript(OlderRecord({"Name=SetupRegTool", "[Registry]", "Company=SetupRegCo", "Name=Tool"}));
    RemoveProductKeys();
    EXPECT_FALSE(KeyExists(kMachine, kUninstall + "\\SetupRegTool")) << "the registration goes";
    EXPECT_TRUE(KeyExists(kMachine, kUninstall + "\\SetupRegOther")) << "another product's stays";
    for (HKEY root : kRoots) {
        EXPECT_FALSE(KeyExists(root, "SOFTWARE\\SetupRegCo\\Tool")) << RootName(root);
        EXPECT_TRUE(KeyExists(root, "SOFTWARE\\SetupRegCo\\Other\\Deep")) << RootName(root) << ": the sibling stays";
    }
    // The sibling's own uninstall empties the company key, which goes too.
    UseScript(OlderRecord({"Name=SetupRegOther", "[Registry]", "Company=SetupRegCo", "Name=Other"}));
    RemoveProductKeys();
    // Without a name the company goes with everything below it.
    UseScript(OlderRecord({"Name=SetupRegTool", "[Registry]", "Company=SetupRegCo2"}));
    RemoveProductKeys();
    for (HKEY root : kRoots)
        for (const char* company : {"SOFTWARE\\SetupRegCo", "SOFTWARE\\SetupRegCo2"})
            EXPECT_FALSE(KeyExists(root, company)) << RootName(root) << "\\" << company;
}

TEST_F(ProductKeys, ARegistrationIsTakenAndRemovedOnlyWhileItStartsThisInstallsUninstaller) {
    const std::string tool = kUninstall + "\\SetupRegTool";
    const std::vector<std::string> script = {"[Del]", "Auto=1", "[Root]", "Name=SetupRegTool", "Named=C:\\x y"};
    const struct {
        const char* why;
        std::vector<std::pair<const char*, std::string>> values;  // of the key before the install; none: absent
        bool taken;
    } cases[] = {
        {"absent", {}, true},
        {"empty", {{nullptr, ""}}, true},
        {"this folder's, as registered before", {{"UninstallString", "C:\\x y\\Setup.exe uninstall"}}, true},
        {"this folder's, quoted", {{"UninstallString", "\"C:\\X Y\\setup.exe\""}}, true},
        {"another program's", {{"UninstallString", "C:\\x y\\unins000.exe"}, {"DisplayName", "Other Tool"}}, false},
        {"another folder's Setup.exe", {{"UninstallString", "\"C:\\Elsewhere\\Setup.exe\" uninstall"}}, false},
        {"with an argument of its own", {{"UninstallString", "C:\\x y\\Setup.exe /remove"}}, false},
        {"no command, a name", {{"DisplayName", "Other Tool"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        RemoveTree(kMachine, tool);
        for (const auto& v : c.values) ASSERT_TRUE(PutText(kMachine, tool, v.first, v.second));
        const std::string before = Dump(kMachine, {tool});
        const std::string record = Install(script);
        EXPECT_EQ(c.taken, CreatedFacts(record.c_str()).Holds("Uninstall", "SetupRegTool")) << "the fact";
        if (c.taken) {
            EXPECT_EQ("\"C:\\x y\\Setup.exe\" uninstall", Text(kMachine, tool, "UninstallString"));
            EXPECT_EQ("Registered Tool", Text(kMachine, tool, "DisplayName"));
        } else {
            EXPECT_EQ(before, Dump(kMachine, {tool})) << "another program's key was written";
        }
        RemoveProductKeys();
        EXPECT_EQ(c.taken ? "(nothing)\n" : before, Dump(kMachine, {tool})) << "after the uninstall";
    }

    // Registered, then renamed in the record by hand, then taken over by another program.
    RemoveTree(kMachine, tool);
    Install(script);
    ASSERT_TRUE(Registered("SetupRegProd", "C:\\Prod\\other.exe"));
    const std::string other = Dump(kMachine, {kUninstall + "\\SetupRegProd"});
    WritePrivateProfileStringA("Root", "Name", "SetupRegProd", ::Run().scriptPath);
    RemoveProductKeys();
    EXPECT_FALSE(KeyExists(kMachine, tool)) << "the key the install registered goes, whatever [Root] Name says now";
    EXPECT_EQ(other, Dump(kMachine, {kUninstall + "\\SetupRegProd"})) << "the key [Root] Name now names stays";
    Install(script);
    ASSERT_TRUE(Registered("SetupRegTool", "\"C:\\Newer\\Setup.exe\""));
    RemoveProductKeys();
    EXPECT_EQ("\"C:\\Newer\\Setup.exe\"", Text(kMachine, tool, "UninstallString")) << "taken over since: it stays";
}

TEST_F(ProductKeys, SettingsKeysThatWereThereBeforeTheFirstInstallStay) {
    // Like SOFTWARE\ODBC: a machine key named as the company, there before the product.
    ASSERT_TRUE(PutText(kMachine, "SOFTWARE\\SetupRegCo\\Driver", "v", "machine's"));
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, "SOFTWARE\\SetupRegCo2"));  // empty: no emptying may take it
    const std::string machineBefore = Dump(kMachine, {"SOFTWARE\\SetupRegCo\\Driver"});
    const std::string userBefore = Dump(HKEY_CURRENT_USER, {"SOFTWARE\\SetupRegCo2"});
    const std::vector<std::string> noName = {"[Root]", "Name=SetupRegTool", "Named=C:\\x", "[Registry]",
                                             "Company=SetupRegCo"};
    const std::vector<std::string> named = {"[Root]", "Name=SetupRegOther", "Named=C:\\y", "[Registry]",
                                            "Company=SetupRegCo2", "Name=Tool"};
    const std::string first = Install(noName), firstNamed = Install(named);
    // What the product makes while it runs, under both roots.
    for (HKEY root : kRoots)
        ASSERT_TRUE(PutText(root, "SOFTWARE\\SetupRegCo\\Runtime", "v", "1") &&
                    PutText(root, "SOFTWARE\\SetupRegCo2\\Tool\\Runtime", "v", "1"));
    // A version-up finds the keys there now; the earlier record knows they were not.
    const std::string second = Install(noName, first);
    const std::string secondNamed = Install(named, firstNamed);
    CreatedFacts facts(second.c_str());
    EXPECT_TRUE(facts.Holds("SettingsExisted", "HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupRegCo"));
    EXPECT_FALSE(facts.Holds("SettingsExisted", "HKEY_CURRENT_USER\\SOFTWARE\\SetupRegCo")) << "carried forward";

    CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, second.c_str());
    RemoveProductKeys();
    CopyBounded(::Run().scriptPath, sizeof ::Run().scriptPath, secondNamed.c_str());
    RemoveProductKeys();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\SetupRegCo")) << "made by the product: removed";
    EXPECT_TRUE(KeyExists(kMachine, "SOFTWARE\\SetupRegCo\\Runtime")) << "the machine's key was there before";
    EXPECT_EQ(machineBefore, Dump(kMachine, {"SOFTWARE\\SetupRegCo\\Driver"}));
    EXPECT_FALSE(KeyExists(kMachine, "SOFTWARE\\SetupRegCo2")) << "product and emptied company, both made";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\SetupRegCo2\\Tool")) << "the product's key goes";
    EXPECT_EQ(userBefore, Dump(HKEY_CURRENT_USER, {"SOFTWARE\\SetupRegCo2"})) << "the company was there before";
}

TEST_F(ProductKeys, SystemCompaniesPathsAndAMissingProductNameAreRefused) {
    ASSERT_TRUE(Registered("SetupRegOther"));
    const struct {
        const char *root, *company, *name;
        const char* parent;  // a marker key below it must survive, under both roots
    } cases[] = {
        {"SetupRegTool", "Microsoft", "", "SOFTWARE\\Microsoft"},
        {"SetupRegTool", "microsoft", "SetupRegTestMarker", "SOFTWARE\\Microsoft"},
        {"SetupRegTool", "CLASSES", "", "SOFTWARE\\Classes"},
        {"SetupRegTool", "Policies", "", "SOFTWARE\\Policies"},
        {"SetupRegTool", "Wow6432Node", "", "SOFTWARE\\Wow6432Node"},
        {"SetupRegTool", "Clients", "", "SOFTWARE\\Clients"},
        {"SetupRegTool", "SetupRegCo\\Inner", "", "SOFTWARE\\SetupRegCo\\Inner"},
        {"SetupRegTool", "SetupRegCo", "Inner\\SetupRegTestMarker", "SOFTWARE\\SetupRegCo\\Inner"},
        {"", "SetupRegCo", "", "SOFTWARE\\SetupRegCo"},  // no [Root] Name: no settings key either
    };
    const std::vector<std::string> registered = Subkeys(kMachine, kUninstall);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("[Root] Name=") + c.root + " Company=" + c.company + " Name=" + c.name);
        UseScript(OlderRecord({std::string("Name=") + c.root, "[Registry]", std::string("Company=") + c.company,
                               std::string("Name=") + c.name}));
        for (HKEY root : kRoots) {
            const std::string marker = std::string(c.parent) + "\\SetupRegTestMarker";
            const bool parentExisted = KeyExists(root, c.parent);
            ASSERT_TRUE(PutText(root, marker, "marker", "1"));
            RemoveProductKeys();
            EXPECT_EQ("1", Text(root, marker, "marker")) << RootName(root) << ": " << marker << " was reached";
            RemoveTree(root, marker);
            if (!parentExisted) RegDeleteKeyA(root, c.parent);
        }
    }
    EXPECT_EQ(registered, Subkeys(kMachine, kUninstall)) << "the Uninstall key and its products stay";
}

}  // namespace
