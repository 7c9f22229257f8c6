// The product's entry in the list of installed programs, and its removal with the
// product's settings keys, against the test prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "registry/registry.h"
#include "registry_fixtures.h"

using namespace regtest;

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const HKEY kRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
const char* RootName(HKEY root) { return root == HKEY_CURRENT_USER ? "HKCU" : "HKLM"; }

std::string Here() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

TEST(RegisterUninstall, NameAndCommandFollowTheScript) {
    struct Case {
        const char* why;
        std::vector<std::string> lines;
        std::string displayName, command;
    };
    const Case cases[] = {
        {"Auto 1", {"[Setup]", "Name=Tool 2.0", "[Del]", "Auto=1", "[Root]", "Named=C:\\Program Files\\Tool"},
         "Tool 2.0", "C:\\Program Files\\Tool\\Setup.exe uninstall"},
        {"Auto 0", {"[Setup]", "Name=Tool 2.0", "[Del]", "Auto=0", "[Root]", "Named=C:\\Program Files\\Tool"},
         "Tool 2.0", "C:\\Program Files\\Tool\\Setup.exe"},
        {"no Auto, no Setup Name", {"[Root]", "Named=C:\\Tool\\"}, "<absent>", "C:\\Tool\\Setup.exe"},
        // The command must stay within 259 bytes: without room for the suffix it is left out.
        {"a folder that leaves no room for the suffix",
         {"[Setup]", "Name=T", "[Del]", "Auto=1", "[Root]", "Named=C:\\" + std::string(240, 'f')}, "T", "<absent>"},
        {"no install folder", {"[Setup]", "Name=T", "[Root]"}, "T", "<absent>"},
    };
    for (const Case& c : cases) {
        ScopedTree product(HKEY_LOCAL_MACHINE, kUninstall + "\\SetupRegTool");
        std::vector<std::string> lines = c.lines;
        lines.push_back("Name=SetupRegTool");  // the cases end in their [Root] section
        UseScript(lines);
        RegisterUninstall();
        ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, product.key())) << c.why;
        EXPECT_EQ(c.displayName, Text(HKEY_LOCAL_MACHINE, product.key(), "DisplayName")) << c.why;
        EXPECT_EQ(c.command, Text(HKEY_LOCAL_MACHINE, product.key(), "UninstallString")) << c.why;
    }
}

TEST(RegisterUninstall, ExtraValuesDescribeTheInstallAndAVersionUpLeavesNoneStale) {
    const std::string folder = Here() + "\\size app";
    stage::MakeFolders(folder);
    const size_t sizes[] = {1, 2048, 1500};  // 3549 bytes: 4 KiB rounded up
    std::vector<std::string> lines = {"[Setup]", "Name=Sized", "Publisher=Acme Ltd.", "Version=2.1.0", "[Root]",
                                      "Name=SetupRegSized", "Named=" + folder, "[Desktop]", "Icon=%root%app.exe",
                                      "IconNo=2", "[CopiedFile]", "Count=5"};
    for (size_t i = 0; i < 3; ++i) {
        std::string file = folder + "\\f" + std::to_string(i) + ".bin";
        ASSERT_TRUE(stage::WriteFile(file, std::string(sizes[i], 'x')));
        lines.push_back(std::to_string(i) + "=" + file);
    }
    lines.push_back("3=" + folder + "\\deleted by the user.bin");
    lines.push_back("4=" + folder);  // a folder has no size of its own here
    ScopedTree product(HKEY_LOCAL_MACHINE, kUninstall + "\\SetupRegSized");
    std::string script = UseScript(lines);
    EXPECT_EQ(4u, RecordedFilesKiB(script.c_str()));
    RegisterUninstall();
    const struct {
        const char* value;
        std::string want;
        bool number;
    } first[] = {
        {"DisplayName", "Sized", false},
        {"UninstallString", folder + "\\Setup.exe", false},
        {"InstallLocation", folder, false},
        {"DisplayIcon", folder + "\\app.exe,2", false},
        {"Publisher", "Acme Ltd.", false},
        {"DisplayVersion", "2.1.0", false},
        {"NoModify", "1", true},
        {"NoRepair", "1", true},
        {"EstimatedSize", "4", true},
    };
    for (const auto& v : first) {
        Stored s = Read(HKEY_LOCAL_MACHINE, product.key(), v.value);
        EXPECT_EQ(v.want, v.number ? s.Number() : s.Text()) << v.value;
    }

    // The next install of the product has no publisher, version, icon or files of its own.
    UseScript({"[Setup]", "Name=Sized 3", "[Root]", "Name=SetupRegSized", "Named=" + folder});
    RegisterUninstall();
    const struct {
        const char* value;
        std::string want;
    } second[] = {
        {"DisplayName", "Sized 3"},      {"DisplayIcon", folder + "\\Setup.exe"}, {"Publisher", "<absent>"},
        {"DisplayVersion", "<absent>"}, {"EstimatedSize", "<absent>"},
    };
    for (const auto& v : second) EXPECT_EQ(v.want, Text(HKEY_LOCAL_MACHINE, product.key(), v.value)) << v.value;
    EXPECT_EQ("1", Read(HKEY_LOCAL_MACHINE, product.key(), "NoModify").Number());
}

TEST(RegisterUninstall, AnEmptyOrUnusableProductNameRegistersNothing) {
    ScopedTree bad(HKEY_LOCAL_MACHINE, kUninstall + "\\SetupRegA");
    std::vector<std::string> before = Subkeys(HKEY_LOCAL_MACHINE, kUninstall);
    for (const char* name : {"", "SetupRegA\\B", "..", "\\"}) {
        UseScript({"[Setup]", "Name=Nameless", "[Root]", std::string("Name=") + name, "Named=C:\\Nameless"});
        RegisterUninstall();
        EXPECT_EQ(before, Subkeys(HKEY_LOCAL_MACHINE, kUninstall)) << "[Root] Name \"" << name << "\"";
        EXPECT_EQ("<absent>", Text(HKEY_LOCAL_MACHINE, kUninstall, "DisplayName"))
            << "[Root] Name \"" << name << "\" wrote into the Uninstall key itself";
    }
}

// The settings keys of two products of one company under both roots, and the products'
// registrations; each test removes what it made.
class ProductKeys : public testing::Test {
protected:
    void TearDown() override {
        for (HKEY root : kRoots)
            for (const char* company : {"SOFTWARE\\SetupRegCo", "SOFTWARE\\SetupRegCo2"}) RemoveTree(root, company);
        for (const char* name : {"SetupRegTool", "SetupRegOther"}) RemoveTree(HKEY_LOCAL_MACHINE, kUninstall + "\\" + name);
    }
    static void Settings(const std::string& path) {
        for (HKEY root : kRoots) {
            ASSERT_TRUE(PutText(root, path + "\\Deep", "v", "1"));
            ASSERT_TRUE(PutText(root, path, "v", "1"));
        }
    }
    static void Registered(const char* name) {
        ASSERT_TRUE(PutText(HKEY_LOCAL_MACHINE, kUninstall + "\\" + name, "UninstallString", "C:\\x\\Setup.exe"));
    }
};

TEST_F(ProductKeys, SettingsGoUnderBothRootsAndASiblingProductStays) {
    Settings("SOFTWARE\\SetupRegCo\\Tool");
    Settings("SOFTWARE\\SetupRegCo\\Other");
    Registered("SetupRegTool");
    Registered("SetupRegOther");
    UseScript({"[Root]", "Name=SetupRegTool", "[Registry]", "Company=SetupRegCo", "Name=Tool"});
    RemoveProductKeys();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstall + "\\SetupRegTool")) << "the registration goes";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstall + "\\SetupRegOther")) << "another product's stays";
    for (HKEY root : kRoots) {
        EXPECT_FALSE(KeyExists(root, "SOFTWARE\\SetupRegCo\\Tool")) << RootName(root);
        EXPECT_TRUE(KeyExists(root, "SOFTWARE\\SetupRegCo\\Other\\Deep")) << RootName(root) << ": the sibling stays";
    }

    // The sibling's own uninstall then empties the company key, which goes too.
    UseScript({"[Root]", "Name=SetupRegOther", "[Registry]", "Company=SetupRegCo", "Name=Other"});
    RemoveProductKeys();
    for (HKEY root : kRoots) EXPECT_FALSE(KeyExists(root, "SOFTWARE\\SetupRegCo")) << RootName(root);
}

TEST_F(ProductKeys, CompanyWithoutNameGoesWithEverythingBelowIt) {
    Settings("SOFTWARE\\SetupRegCo2\\Tool");
    Settings("SOFTWARE\\SetupRegCo2\\Other");
    UseScript({"[Root]", "Name=SetupRegTool", "[Registry]", "Company=SetupRegCo2"});
    RemoveProductKeys();
    for (HKEY root : kRoots) EXPECT_FALSE(KeyExists(root, "SOFTWARE\\SetupRegCo2")) << RootName(root);
}

TEST_F(ProductKeys, WithoutProductNameNothingIsRemoved) {
    Settings("SOFTWARE\\SetupRegCo\\Tool");
    Registered("SetupRegOther");
    std::vector<std::string> before = Subkeys(HKEY_LOCAL_MACHINE, kUninstall);
    ASSERT_FALSE(before.empty());
    UseScript({"[Registry]", "Company=SetupRegCo", "Name=Tool"});
    RemoveProductKeys();
    EXPECT_EQ(before, Subkeys(HKEY_LOCAL_MACHINE, kUninstall)) << "the Uninstall key and its products stay";
    for (HKEY root : kRoots) EXPECT_TRUE(KeyExists(root, "SOFTWARE\\SetupRegCo\\Tool\\Deep")) << RootName(root);
}

TEST_F(ProductKeys, SystemCompaniesAndPathsInTheNamesAreRefused) {
    struct Case {
        const char* company;
        const char* name;
        const char* parent;  // a marker key below it must survive, under both roots
    };
    const Case cases[] = {
        {"Microsoft", "", "SOFTWARE\\Microsoft"},
        {"microsoft", "SetupRegTestMarker", "SOFTWARE\\Microsoft"},
        {"CLASSES", "", "SOFTWARE\\Classes"},
        {"Policies", "", "SOFTWARE\\Policies"},
        {"Wow6432Node", "", "SOFTWARE\\Wow6432Node"},
        {"Clients", "", "SOFTWARE\\Clients"},
        {"SetupRegCo\\Inner", "", "SOFTWARE\\SetupRegCo\\Inner"},
        {"SetupRegCo", "Inner\\SetupRegTestMarker", "SOFTWARE\\SetupRegCo\\Inner"},
        {"..", "", "SOFTWARE\\SetupRegCo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Company=") + c.company + " Name=" + c.name);
        UseScript({"[Root]", "Name=SetupRegTool", "[Registry]", std::string("Company=") + c.company,
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
}

}  // namespace
