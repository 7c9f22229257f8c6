// The product's entry in the list of installed programs, and its removal with the
// product's settings keys, against the test prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "registry/registry.h"
#include "registry_fixtures.h"

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
        std::string displayName, command;
    } cases[] = {
        {"Auto 1", {"[Setup]", "Name=Tool 2.0", "[Del]", "Auto=1", "[Root]", "Named=C:\\Program Files\\Tool"},
         "Tool 2.0", "C:\\Program Files\\Tool\\Setup.exe uninstall"},
        {"Auto 0", {"[Setup]", "Name=Tool 2.0", "[Del]", "Auto=0", "[Root]", "Named=C:\\Program Files\\Tool"},
         "Tool 2.0", "C:\\Program Files\\Tool\\Setup.exe"},
        {"no Auto, no Setup Name", {"[Root]", "Named=C:\\Tool\\"}, "<absent>", "C:\\Tool\\Setup.exe"},
        // The command stays within 259 bytes: without room for the suffix it is left out.
        {"no room for the suffix", {"[Del]", "Auto=1", "[Root]", "Named=C:\\" + std::string(240, 'f')}, "<absent>",
         "<absent>"},
        {"no install folder", {"[Setup]", "Name=T", "[Root]"}, "T", "<absent>"},
    };
    for (const auto& c : cases) {
        ScopedTree product(kMachine, kUninstall + "\\SetupRegTool");
        std::vector<std::string> lines = c.lines;
        lines.push_back("Name=SetupRegTool");
        UseScript(lines);
        RegisterUninstall();
        EXPECT_EQ(c.displayName, Text(kMachine, product.key(), "DisplayName")) << c.why;
        EXPECT_EQ(c.command, Text(kMachine, product.key(), "UninstallString")) << c.why;
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
        {"DisplayName", "Sized", false},           {"UninstallString", folder + "\\Setup.exe", false},
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

// Settings keys of two products of one company under both roots, and registrations.
class ProductKeys : public testing::Test {
protected:
    void TearDown() override {
        for (HKEY root : kRoots)
            for (const char* company : {"SOFTWARE\\SetupRegCo", "SOFTWARE\\SetupRegCo2"}) RemoveTree(root, company);
        for (const char* name : {"\\SetupRegTool", "\\SetupRegOther"}) RemoveTree(kMachine, kUninstall + name);
    }
    static bool Settings(const std::string& path) {
        bool made = true;
        for (HKEY root : kRoots) made = made && PutText(root, path + "\\Deep", "v", "1") && PutText(root, path, "v", "1");
        return made;
    }
    static bool Registered(const char* name) {
        return PutText(kMachine, kUninstall + "\\" + name, "UninstallString", "C:\\x\\Setup.exe");
    }
};

TEST_F(ProductKeys, SettingsGoUnderBothRootsAndASiblingProductStays) {
    ASSERT_TRUE(Settings("SOFTWARE\\SetupRegCo\\Tool") && Settings("SOFTWARE\\SetupRegCo\\Other") &&
                Settings("SOFTWARE\\SetupRegCo2\\Tool") && Registered("SetupRegTool") && Registered("SetupRegOther"));
    UseScript({"[Root]", "Name=SetupRegTool", "[Registry]", "Company=SetupRegCo", "Name=Tool"});
    RemoveProductKeys();
    EXPECT_FALSE(KeyExists(kMachine, kUninstall + "\\SetupRegTool")) << "the registration goes";
    EXPECT_TRUE(KeyExists(kMachine, kUninstall + "\\SetupRegOther")) << "another product's stays";
    for (HKEY root : kRoots) {
        EXPECT_FALSE(KeyExists(root, "SOFTWARE\\SetupRegCo\\Tool")) << RootName(root);
        EXPECT_TRUE(KeyExists(root, "SOFTWARE\\SetupRegCo\\Other\\Deep")) << RootName(root) << ": the sibling stays";
    }
    // The sibling's own uninstall empties the company key, which goes too.
    UseScript({"[Root]", "Name=SetupRegOther", "[Registry]", "Company=SetupRegCo", "Name=Other"});
    RemoveProductKeys();
    // Without a name the company goes with everything below it.
    UseScript({"[Root]", "Name=SetupRegTool", "[Registry]", "Company=SetupRegCo2"});
    RemoveProductKeys();
    for (HKEY root : kRoots)
        for (const char* company : {"SOFTWARE\\SetupRegCo", "SOFTWARE\\SetupRegCo2"})
            EXPECT_FALSE(KeyExists(root, company)) << RootName(root) << "\\" << company;
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
        UseScript({"[Root]", std::string("Name=") + c.root, "[Registry]", std::string("Company=") + c.company,
                   std::string("Name=") + c.name});
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
