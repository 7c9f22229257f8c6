// What the registry steps tell of each key and value: the word, the key and the detail
// of every action (a plan prints them as its lines, an unattended run adds them up), in
// the order the step acts, against the test prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "recording_channel.h"
#include "registry/registry.h"
#include "registry_fixtures.h"
#include "script/created.h"

using namespace regtest;
using testing_channel::RecordingReport;
using testing_channel::Use;

namespace {

struct Told {
    Outcome outcome;
    std::string word, object, detail;
};

std::string Describe(const std::vector<Told>& list) {
    std::string out;
    for (const Told& t : list) out += "  " + t.word + " | " + t.object + " | " + t.detail + "\n";
    return out;
}

std::vector<Told> ActionsOf(const RecordingReport& report) {
    std::vector<Told> out;
    for (const auto& a : report.actions) out.push_back({a.outcome, a.word, a.object, a.detail});
    return out;
}

// The actions as told, word, key and detail, and each one's count in the sums.
void ExpectTold(const RecordingReport& report, const std::vector<Told>& want, const std::string& why) {
    const std::vector<Told> got = ActionsOf(report);
    EXPECT_EQ(Describe(want), Describe(got)) << why;
    if (got.size() != want.size()) return;
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ((int)want[i].outcome, (int)got[i].outcome) << why << ": " << got[i].word << " " << got[i].object;
}

const std::string kUser = "HKEY_CURRENT_USER\\Software\\SetupRegReport";

class RegistryReport : public testing::Test {
protected:
    void SetUp() override {
        // A first install: no earlier record.
        char folder[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof folder, folder);
        const std::string none = std::string(folder) + "\\never-installed\\Setup.ini";
        CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, none.c_str());
    }
    ScopedTree user_{HKEY_CURRENT_USER, "Software\\SetupRegReport"};
    ScopedTree user2_{HKEY_CURRENT_USER, "Software\\SetupRegReport2"};
};

TEST_F(RegistryReport, MakeEntriesTellEachKeyMadeAndEachValueSetReplacedOrKept) {
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user_ / "Old", "Mode", "slow"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user_ / "Old", "Same", "kept"));
    const std::string longData = "!" + std::string(259, 'x');
    const struct {
        std::string entry;
        std::vector<Told> told;
    } cases[] = {
        {kUser + "\\Old\\\\Mode\\!fast",
         {{Outcome::Replaced, "replace", kUser + "\\Old", "\"Mode\" = \"fast\" (was \"slow\")"}}},
        {kUser + "\\Old\\\\Same\\!kept", {{Outcome::Kept, "same", kUser + "\\Old", "\"Same\" = \"kept\""}}},
        // Each key that had to be made, once; then the default value.
        {kUser + "\\New\\Deeper\\\\\\!x",
         {{Outcome::Made, "new-key", kUser + "\\New", ""},
          {Outcome::Made, "new-key", kUser + "\\New\\Deeper", ""},
          {Outcome::Made, "set", kUser + "\\New\\Deeper", "\"\" = \"x\""}}},
        {kUser + "\\New\\\\v\\!1", {{Outcome::Made, "set", kUser + "\\New", "\"v\" = \"1\""}}},
        // What an earlier entry of the same run wrote is what a later one replaces.
        {kUser + "\\Old\\\\Mode\\!faster",
         {{Outcome::Replaced, "replace", kUser + "\\Old", "\"Mode\" = \"faster\" (was \"fast\")"}}},
        // A number stored by another program is shown as a number.
        {kUser + "\\Num\\\\n\\!2",
         {{Outcome::Replaced, "replace", kUser + "\\Num", "\"n\" = \"2\" (was \"7\")"}}},
        {kUser + "\\Cut\\\\Mode\\" + longData,
         {{Outcome::Made, "new-key", kUser + "\\Cut", ""},
          {Outcome::Kept, "refused", kUser + "\\Cut", "\"Mode\" = \"" + longData + "\" (longer than 259 bytes expanded)"}}},
        {"NoBackslash", {{Outcome::Told, "nothing", "NoBackslash", "(no backslash after the root)"}}},
        // Any other root name is the machine's.
        {"HKCU\\SOFTWARE\\SetupRegReport\\\\Where\\!m",
         {{Outcome::Made, "new-key", "HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupRegReport", ""},
          {Outcome::Made, "set", "HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupRegReport", "\"Where\" = \"m\""}}},
    };
    ScopedTree machine(HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupRegReport");
    HKEY num = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\SetupRegReport\\Num", 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &num, nullptr));
    DWORD seven = 7;
    RegSetValueExA(num, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), sizeof seven);
    RegCloseKey(num);
    std::vector<std::string> lines = {"[Root]", "Named=C:\\App", "[Reg]"};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        lines.push_back("Make" + std::to_string(i) + "=" + cases[i].entry);
    const std::string script = UseScript(lines);
    StartCreatedFacts(script.c_str());
    RecordingReport report;
    {
        Use use(nullptr, &report);
        ApplyRegistryEntries(script.c_str(), true);
    }
    std::vector<Told> want;
    for (const auto& c : cases) want.insert(want.end(), c.told.begin(), c.told.end());
    ExpectTold(report, want, "the make entries in order");
    EXPECT_EQ(std::vector<std::string>{"Registry entries ([Reg] \"Make\")"}, report.sections) << "one heading";
    EXPECT_EQ("faster", Text(HKEY_CURRENT_USER, user_ / "Old", "Mode")) << "what was told is what was written";
    EXPECT_EQ("<absent>", Text(HKEY_CURRENT_USER, user_ / "Cut", "Mode")) << "a refused value is not written";
}

TEST_F(RegistryReport, EraseEntriesTellWhatGoesWithWhatItHeldAndWhatIsRefused) {
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user_ / "Tree", "x", "3"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user_ / "Tree\\A", "w", "2"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user_ / "Tree\\A\\B", "v", "1"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user_ / "Tree\\C", nullptr, ""));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user2_ / "K", "Val", "data"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, user2_ / "K", "Other", "y"));
    const std::string user2 = "HKEY_CURRENT_USER\\Software\\SetupRegReport2";
    const struct {
        std::string entry;
        std::vector<Told> told;
    } cases[] = {
        // The key with everything below it, then its parent that it left empty.
        {kUser + "\\Tree",
         {{Outcome::Removed, "remove-key", kUser + "\\Tree", "(with 3 keys and 3 values in it)"},
          {Outcome::Removed, "remove-key", kUser, "(left empty)"}}},
        // A value with what it held; the key keeps another value and stays.
        {user2 + "\\K\\Val", {{Outcome::Removed, "remove-value", user2 + "\\K", "\"Val\" = \"data\""}}},
        // Nothing there: said once, so that the part of a plan or a log is not left empty.
        {user2 + "\\K\\Gone",
         {{Outcome::Told, "absent", user2 + "\\K\\Gone", "(no key or value of this name is there: nothing to erase)"}}},
        {"HKEY_CURRENT_USER\\Software", {{Outcome::Kept, "refused", "HKEY_CURRENT_USER\\Software",
                                          "(the uninstall never erases this key)"}}},
    };
    std::vector<std::string> lines = {"[Root]", "Named=C:\\App", "[CopiedFile]", "Count=1", "[Reg]"};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        lines.push_back("Erase" + std::to_string(i) + "=" + cases[i].entry);
    const std::string script = UseScript(lines);  // a record kept before facts
    RecordingReport report;
    {
        Use use(nullptr, &report);
        ApplyRegistryEntries(script.c_str(), false);
    }
    std::vector<Told> want;
    for (const auto& c : cases) want.insert(want.end(), c.told.begin(), c.told.end());
    ExpectTold(report, want, "the erase entries in order");
    EXPECT_EQ(std::vector<std::string>{"Registry entries ([Reg] \"Erase\")"}, report.sections);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, user_.key())) << "what was told removed is gone";
    EXPECT_EQ("y", Text(HKEY_CURRENT_USER, user2_ / "K", "Other"));
}

const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kUninstallText = "HKEY_LOCAL_MACHINE\\" + kUninstallKey;

TEST_F(RegistryReport, TheRegistrationTellsItsValuesAndItsRemoval) {
    ScopedTree product(HKEY_LOCAL_MACHINE, kUninstallKey + "\\SetupRegReport");
    ScopedTree other(HKEY_LOCAL_MACHINE, kUninstallKey + "\\SetupRegReportOther");
    ASSERT_TRUE(PutText(HKEY_LOCAL_MACHINE, other.key(), "UninstallString", "C:\\Elsewhere\\Setup.exe"));
    const std::string key = kUninstallText + "\\SetupRegReport";
    auto run = [&](const std::vector<std::string>& setup, const char* name) {
        std::vector<std::string> lines = setup;
        lines.insert(lines.end(), {"[Root]", "Named=C:\\Report App", std::string("Name=") + name});
        StartCreatedFacts(UseScript(lines).c_str());
        RecordingReport report;
        Use use(nullptr, &report);
        RegisterUninstall();
        return report;
    };
    RecordingReport first = run({"[Setup]", "Name=Report", "Publisher=Acme"}, "SetupRegReport");
    ExpectTold(first,
               {{Outcome::Made, "new-key", key, ""},
                {Outcome::Made, "set", key, "\"DisplayName\" = \"Report\""},
                {Outcome::Made, "set", key, "\"UninstallString\" = \"\"C:\\Report App\\Setup.exe\"\""},
                {Outcome::Made, "set", key, "\"QuietUninstallString\" = \"\"C:\\Report App\\Setup.exe\" uninstall /S\""},
                {Outcome::Made, "set", key, "\"InstallLocation\" = \"C:\\Report App\""},
                {Outcome::Made, "set", key, "\"DisplayIcon\" = \"C:\\Report App\\Setup.exe\""},
                {Outcome::Made, "set", key, "\"NoModify\" = 1 (a number)"},
                {Outcome::Made, "set", key, "\"NoRepair\" = 1 (a number)"},
                {Outcome::Made, "set", key, "\"Publisher\" = \"Acme\""}},
               "a first registration");
    EXPECT_EQ(std::vector<std::string>{"Uninstall registration (the list of installed programs)"}, first.sections);
    // A version-up: what stays is "same", a new text replaces, a text this install has not goes.
    RecordingReport again = run({"[Setup]", "Name=Report 2"}, "SetupRegReport");
    ExpectTold(again,
               {{Outcome::Replaced, "replace", key, "\"DisplayName\" = \"Report 2\" (was \"Report\")"},
                {Outcome::Kept, "same", key, "\"UninstallString\" = \"\"C:\\Report App\\Setup.exe\"\""},
                {Outcome::Kept, "same", key, "\"QuietUninstallString\" = \"\"C:\\Report App\\Setup.exe\" uninstall /S\""},
                {Outcome::Kept, "same", key, "\"InstallLocation\" = \"C:\\Report App\""},
                {Outcome::Kept, "same", key, "\"DisplayIcon\" = \"C:\\Report App\\Setup.exe\""},
                {Outcome::Kept, "same", key, "\"NoModify\" = 1 (a number)"},
                {Outcome::Kept, "same", key, "\"NoRepair\" = 1 (a number)"},
                {Outcome::Removed, "remove-value", key, "\"Publisher\""}},
               "a version-up");
    RecordingReport refused = run({}, "SetupRegReportOther");
    ExpectTold(refused,
               {{Outcome::Kept, "refused", kUninstallText + "\\SetupRegReportOther",
                 "(another program's key: the product is not registered)"}},
               "another program's key");
    EXPECT_EQ("C:\\Elsewhere\\Setup.exe", Text(HKEY_LOCAL_MACHINE, other.key(), "UninstallString"));

    // The uninstall of the record: the registration with what it holds; another
    // program's key of the same name stays, and says why.
    const struct {
        const char* name;
        Told told;
    } removals[] = {
        {"SetupRegReport", {Outcome::Removed, "remove-key", key, "(with 0 keys and 7 values in it)"}},
        {"SetupRegReportOther",
         {Outcome::Kept, "stays", kUninstallText + "\\SetupRegReportOther",
          "(its command does not start this install's Setup.exe)"}},
    };
    for (const auto& r : removals) {
        UseScript({"[Root]", "Named=C:\\Report App", std::string("Name=") + r.name, "[CopiedFile]", "Count=1"});
        RecordingReport report;
        {
            Use use(nullptr, &report);
            RemoveProductKeys();
        }
        ExpectTold(report, {r.told}, r.name);
        EXPECT_EQ(std::vector<std::string>{"Uninstall registration and the product's settings keys"}, report.sections);
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, product.key()));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, other.key()));
}

TEST_F(RegistryReport, SettingsKeysTellWhatGoesAndWhatWasThereBefore) {
    ScopedTree company(HKEY_CURRENT_USER, "SOFTWARE\\SetupRegReportCo");
    ScopedTree machineCompany(HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupRegReportCo");
    ASSERT_TRUE(PutText(HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupRegReportCo\\Tool", "old", "1"));
    // The install records that the machine's key was there before it; with no install
    // folder it registers nothing.
    const std::string script = UseScript({"[Root]", "Name=SetupRegReportNone", "[Registry]",
                                          "Company=SetupRegReportCo", "Name=Tool", "[CopiedFile]", "Count=1"});
    StartCreatedFacts(script.c_str());
    {
        RecordingReport ignored;
        Use use(nullptr, &ignored);
        RegisterUninstall();
    }
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, "SOFTWARE\\SetupRegReportCo\\Tool", "v", "1"));
    RecordingReport report;
    {
        Use use(nullptr, &report);
        RemoveProductKeys();
    }
    ExpectTold(report,
               {{Outcome::Removed, "remove-key", "HKEY_CURRENT_USER\\SOFTWARE\\SetupRegReportCo\\Tool",
                 "(with 0 keys and 1 value in it)"},
                {Outcome::Removed, "remove-key", "HKEY_CURRENT_USER\\SOFTWARE\\SetupRegReportCo", "(left empty)"},
                {Outcome::Kept, "stays", "HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupRegReportCo\\Tool",
                 "(it was there before the product's first install)"}},
               "the settings keys");
    EXPECT_EQ(std::vector<std::string>{"the record names no registration of its own: none is removed"}, report.notes);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupRegReportCo\\Tool"));
}

class AssociationReport : public RegistryReport {
protected:
    ScopedTree ext_{HKEY_CLASSES_ROOT, ".setuprr"};
    ScopedTree kind_{HKEY_CLASSES_ROOT, "SetupRR.File"};
    ScopedTree otherExt_{HKEY_CLASSES_ROOT, ".setuprro"};
    ScopedTree otherKind_{HKEY_CLASSES_ROOT, "SetupRROther.File"};
};

TEST_F(AssociationReport, AnAssociationTellsWhatItMakesKeepsAndTakesBack) {
    ASSERT_TRUE(PutText(HKEY_CLASSES_ROOT, "SetupRROther.File", "", "Another program's file"));
    ASSERT_TRUE(PutText(HKEY_CLASSES_ROOT, "SetupRROther.File\\shell\\open\\command", "", "other.exe"));
    ASSERT_TRUE(PutText(HKEY_CLASSES_ROOT, ".setuprro", "", "SetupRROther.File"));
    const std::string script =
        UseScript({"[Root]", "Named=C:\\App", "[CopiedFile]", "Count=1", "[Created]", "Recorded=1", "[Ext0]",
                   "Ext=.setuprr", "Kind=SetupRR.File", "Icon=%root%tool.exe", "IconNo=1", "Verb=open",
                   "Command=%root%tool.exe \"%1\"", "[Ext1]", "Ext=.setuprro", "Kind=SetupRR.File", "Verb2=open",
                   "Command=tool.exe", "[Ext2]", "Ext=.txt", "Kind=txtfile"});
    CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, script.c_str());
    const std::string cr = "HKEY_CLASSES_ROOT\\";
    RecordingReport made;
    {
        Use use(nullptr, &made);
        SetFileAssociations(nullptr, true);
    }
    ExpectTold(made,
               {{Outcome::Made, "new-key", cr + ".setuprr", ""},
                {Outcome::Made, "set", cr + ".setuprr", "\"\" = \"SetupRR.File\""},
                {Outcome::Made, "new-key", cr + "SetupRR.File", ""},
                {Outcome::Made, "set", cr + "SetupRR.File", "\"\" = \"SetupRR.File\""},
                {Outcome::Made, "new-key", cr + "SetupRR.File\\DefaultIcon", ""},
                {Outcome::Made, "set", cr + "SetupRR.File\\DefaultIcon", "\"\" = \"C:\\App\\tool.exe,1\""},
                {Outcome::Made, "new-key", cr + "SetupRR.File\\shell", ""},
                {Outcome::Made, "new-key", cr + "SetupRR.File\\shell\\open", ""},
                {Outcome::Made, "new-key", cr + "SetupRR.File\\shell\\open\\command", ""},
                {Outcome::Made, "set", cr + "SetupRR.File\\shell\\open\\command", "\"\" = \"C:\\App\\tool.exe \"%1\"\""},
                // Another program's verb is never overwritten.
                {Outcome::Kept, "keep", cr + "SetupRROther.File\\shell\\open",
                 "(another program's verb: it is not overwritten)"},
                {Outcome::Kept, "refused", ".txt -> txtfile", "(the association step refuses this extension or type)"}},
               "the install");
    EXPECT_EQ((std::vector<std::string>{".setuprr is new: its type is SetupRR.File",
                                        ".setuprro belongs to SetupRROther.File: it stays there"}),
              made.notes);
    EXPECT_EQ(std::vector<std::string>{"File associations"}, made.sections);
    EXPECT_EQ("other.exe", Text(HKEY_CLASSES_ROOT, "SetupRROther.File\\shell\\open\\command", ""));

    RecordingReport removed;
    {
        Use use(nullptr, &removed);
        SetFileAssociations(nullptr, false);
    }
    ExpectTold(removed,
               {{Outcome::Removed, "remove-value", cr + ".setuprr", "\"\" = \"SetupRR.File\""},
                {Outcome::Removed, "remove-key", cr + ".setuprr", ""},
                {Outcome::Removed, "remove-key", cr + "SetupRR.File", "(with 4 keys and 3 values in it)"},
                {Outcome::Kept, "refused", ".txt -> txtfile", "(the association step refuses this extension or type)"}},
               "the uninstall");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".setuprr"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "SetupRROther.File\\shell\\open\\command"));
}

}  // namespace
