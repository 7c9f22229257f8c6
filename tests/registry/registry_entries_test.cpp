// [Reg] entries made and erased against the test prefix's registry, and the two key
// removals beneath them.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "registry_fixtures.h"

using namespace regtest;

namespace {

const char kUser[] = "Software\\SetupRegTest";
const char kMachine[] = "SOFTWARE\\SetupRegTest";

std::string WindowsFolder() {
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof folder);
    return folder;
}

class RegistryEntries : public testing::Test {
protected:
    void SetUp() override { UseScript({"[Root]", "Named=C:\\App"}); }
    static void Make(const std::string& entry) {
        std::vector<char> text = Buffer(entry);
        MakeRegistryEntry(text.data());
    }
    static void Erase(const std::string& entry) {
        std::vector<char> text = Buffer(entry);
        EraseRegistryEntry(text.data());
    }
    ScopedTree user_{HKEY_CURRENT_USER, kUser};
    ScopedTree machine_{HKEY_LOCAL_MACHINE, kMachine};
};

TEST_F(RegistryEntries, MakeEntriesWriteStringValuesBelowTheNamedRoot) {
    const std::string hkcu = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\", u = user_.key() + "\\";
    const std::string m = machine_.key() + "\\";
    struct Case {
        std::string entry;
        HKEY root;
        std::string key;
        const char* value;
        std::string want;
    };
    const Case cases[] = {
        {hkcu + "Tool\\\\Mode\\!fast", HKEY_CURRENT_USER, u + "Tool", "Mode", "fast"},
        {"hkey_current_user\\Software\\SetupRegTest\\Tool\\\\\\!ready", HKEY_CURRENT_USER, u + "Tool", "", "ready"},
        {"HKLM\\SOFTWARE\\SetupRegTest\\Short\\\\Mode\\!fast", HKEY_LOCAL_MACHINE, m + "Short", "Mode", "fast"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupRegTest\\Long\\\\Mode\\!fast", HKEY_LOCAL_MACHINE, m + "Long", "Mode",
         "fast"},
        {"Machine\\SOFTWARE\\SetupRegTest\\Other\\\\Mode\\!x", HKEY_LOCAL_MACHINE, m + "Other", "Mode", "x"},
        {hkcu + "Bang\\\\Mode\\!", HKEY_CURRENT_USER, u + "Bang", "Mode", "!"},
        {hkcu + "Token\\\\Path\\%root%bin\\tool.exe", HKEY_CURRENT_USER, u + "Token", "Path", "C:\\App\\bin\\tool.exe"},
        {hkcu + "Token\\\\Fonts\\%WINDOWS%\\Fonts", HKEY_CURRENT_USER, u + "Token", "Fonts",
         WindowsFolder() + "\\Fonts"},
        {hkcu + "Data\\\\Path\\!C:\\x\\y z", HKEY_CURRENT_USER, u + "Data", "Path", "C:\\x\\y z"},
        // Plain text is a file name: looked up as a program, else joined to the install folder.
        {hkcu + "Plain\\\\Mode\\fast", HKEY_CURRENT_USER, u + "Plain", "Mode", "C:\\App\\fast"},
        {hkcu + "NoData\\\\Mode", HKEY_CURRENT_USER, u + "NoData", "Mode", "<absent>"},
        {hkcu + "Keys\\Deep\\Deeper", HKEY_CURRENT_USER, u + "Keys\\Deep\\Deeper", "", "<absent>"},
        // "!" and the text make the 259 bytes an expansion takes; cut, it would be another text.
        {hkcu + "Cut\\\\Mode\\!" + std::string(300, 'x'), HKEY_CURRENT_USER, u + "Cut", "Mode", "<absent>"},
        {hkcu + "Fits\\\\Mode\\!" + std::string(258, 'x'), HKEY_CURRENT_USER, u + "Fits", "Mode", std::string(258, 'x')},
    };
    for (const Case& c : cases) {
        Make(c.entry);
        EXPECT_TRUE(KeyExists(c.root, c.key)) << c.entry << ": key " << c.key << " not made";
        EXPECT_EQ(c.want, Text(c.root, c.key, c.value)) << c.entry;
    }
    EXPECT_TRUE(ValueNames(HKEY_CURRENT_USER, u + "Keys\\Deep\\Deeper").empty()) << "keys only: no value at all";
    EXPECT_TRUE(ValueNames(HKEY_CURRENT_USER, u + "NoData").empty()) << "a value name without data writes nothing";
}

TEST_F(RegistryEntries, ListsRunToTheFirstGapAndTakeEntriesOf1039Bytes) {
    // Three components of 250 bytes keep every key name within the registry's limit.
    std::string head = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\Long\\" + std::string(250, 'a') + "\\" +
                       std::string(250, 'b') + "\\" + std::string(250, 'c') + "\\\\V\\!";
    std::string data = std::string(1039 - head.size() - 3, 'd') + "END";
    std::string longEntry = head + data;
    ASSERT_EQ(1039u, longEntry.size());
    ASSERT_LT(data.size(), 260u);
    std::string script = UseScript({"[Root]", "Named=C:\\App", "[Reg]", "Make0=" + longEntry,
                                    "Make1=HKEY_CURRENT_USER\\Software\\SetupRegTest\\List\\\\One\\!1",
                                    "Make3=HKEY_CURRENT_USER\\Software\\SetupRegTest\\List\\\\Three\\!3",
                                    "Erase0=HKEY_CURRENT_USER\\Software\\SetupRegTest\\List\\One"});
    ApplyRegistryEntries(script.c_str(), true);
    std::string deep = user_ / ("Long\\" + std::string(250, 'a') + "\\" + std::string(250, 'b') + "\\" +
                                std::string(250, 'c'));
    EXPECT_EQ(data, Text(HKEY_CURRENT_USER, deep, "V")) << "the 1039-byte entry arrives whole";
    EXPECT_EQ("1", Text(HKEY_CURRENT_USER, user_ / "List", "One"));
    EXPECT_EQ("<absent>", Text(HKEY_CURRENT_USER, user_ / "List", "Three")) << "Make3 lies beyond the gap";

    ApplyRegistryEntries(script.c_str(), false);
    EXPECT_EQ("<absent>", Text(HKEY_CURRENT_USER, user_ / "List", "One")) << "Erase0 deletes the value";
    EXPECT_EQ(data, Text(HKEY_CURRENT_USER, deep, "V")) << "erasing applies the Erase list only";
}

TEST_F(RegistryEntries, EraseRemovesTheSubtreeAndTheValueThenPrunesEmptiedParents) {
    const std::string erase = user_ / "Erase";
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, erase + "\\Tool\\Mode\\Sub", "x", "1"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, erase + "\\Tool\\Mode", "a", "2"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, erase + "\\Tool", "Mode", "value of the same name"));
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, erase + "\\Keep"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, erase + "\\Flags", "Flag", "1"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, erase + "\\Flags", "Other", "2"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, erase + "\\Defaulted\\Gone", "", "x"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, erase + "\\Defaulted", "", "only a default value"));
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, erase + "\\Hollow"));

    const std::string hkcu = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\Erase\\";
    Erase(hkcu + "Tool\\Mode");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, erase + "\\Tool\\Mode")) << "the subkey with all below it";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, erase + "\\Tool")) << "Tool held only Mode (key and value)";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, erase)) << "pruning stops at a key still holding Keep";

    Erase(hkcu + "Flags\\Flag");
    EXPECT_EQ("<absent>", Text(HKEY_CURRENT_USER, erase + "\\Flags", "Flag"));
    EXPECT_EQ("2", Text(HKEY_CURRENT_USER, erase + "\\Flags", "Other")) << "the other value stays";

    Erase(hkcu + "Defaulted\\Gone");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, erase + "\\Defaulted\\Gone"));
    EXPECT_EQ("only a default value", Text(HKEY_CURRENT_USER, erase + "\\Defaulted", ""))
        << "a key holding a default value is not empty";

    Erase(hkcu + "Hollow\\Nothing");  // neither key nor value, but the empty parent goes
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, erase + "\\Hollow"));

    Erase(hkcu + "Keep\\Missing");  // Keep is then empty and goes; Erase still holds Flags
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, erase + "\\Keep"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, erase + "\\Flags"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUser));
}

TEST_F(RegistryEntries, DeleteKeyIfEmptyRemovesOnlyKeysSeenEmpty) {
    const std::string base = user_ / "IfEmpty";
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, base + "\\Empty"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, base + "\\DefaultOnly", "", "d"));
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, base + "\\WithSubkey\\Child"));
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, base + "\\WithValue", "v", "1"));
    // A value name longer than the 260-byte listing buffer is still a value.
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, base + "\\LongValueName", std::string(300, 'n').c_str(), "1"));
    const struct {
        const char* name;
        bool removed;
    } cases[] = {{"Empty", true},     {"DefaultOnly", false},   {"WithSubkey", false},
                 {"WithValue", false}, {"LongValueName", false}, {"Missing", false}};
    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, KEY_ALL_ACCESS, &parent));
    for (const auto& c : cases) {
        EXPECT_EQ(c.removed, DeleteKeyIfEmpty(parent, c.name)) << c.name;
        EXPECT_EQ(!c.removed && std::string(c.name) != "Missing", KeyExists(HKEY_CURRENT_USER, base + "\\" + c.name))
            << c.name;
    }
    EXPECT_FALSE(DeleteKeyIfEmpty(parent, "")) << "an empty name would be the parent itself";
    EXPECT_FALSE(DeleteKeyTree(parent, "")) << "an empty name would be the parent itself";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + "\\WithValue"));
    RegCloseKey(parent);
}

// Gives a key an empty access list, so that it can be neither opened nor deleted;
// the owner may still put a permissive one back.
bool SetDenyAll(HKEY root, const std::string& key, bool deny) {
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, WRITE_DAC, &k) != ERROR_SUCCESS) return false;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    BYTE buffer[64];
    PACL acl = reinterpret_cast<PACL>(buffer);
    InitializeAcl(acl, sizeof buffer, ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, deny ? acl : nullptr, FALSE);
    LONG rc = RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

struct TreeCall {
    HKEY parent;
    const char* name;
    bool result = true;
};

DWORD WINAPI RunDeleteKeyTree(void* arg) {
    TreeCall* call = static_cast<TreeCall*>(arg);
    call->result = DeleteKeyTree(call->parent, call->name);
    return 0;
}

TEST_F(RegistryEntries, DeleteKeyTreeEndsAtASubkeyThatCannotBeDeleted) {
    const std::string stuck = user_ / "Stuck";
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, stuck + "\\a\\grand", "v", "1"));
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, stuck + "\\b\\c"));
    ASSERT_TRUE(SetDenyAll(HKEY_CURRENT_USER, stuck + "\\a", true));
    HKEY probe;
    ASSERT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, (stuck + "\\a").c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &probe))
        << "the access list does not keep the key closed; the test would prove nothing";

    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, user_.key().c_str(), 0, KEY_ALL_ACCESS, &parent));
    TreeCall call{parent, "Stuck"};
    HANDLE thread = CreateThread(nullptr, 0, RunDeleteKeyTree, &call, 0, nullptr);
    bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended) << "DeleteKeyTree still runs after 10 s on a subkey that cannot be deleted";
    if (!ended) TerminateThread(thread, 1);
    CloseHandle(thread);
    RegCloseKey(parent);
    EXPECT_FALSE(call.result) << "reported removed although a subkey stayed";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, stuck + "\\a\\grand")) << "the locked subtree stays";

    ASSERT_TRUE(SetDenyAll(HKEY_CURRENT_USER, stuck + "\\a", false));
    HKEY again;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, user_.key().c_str(), 0, KEY_ALL_ACCESS, &again));
    EXPECT_TRUE(DeleteKeyTree(again, "Stuck")) << "once it can be opened the whole tree goes";
    RegCloseKey(again);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, stuck));
}

// A key made for a test, removed afterwards together with the parents the test had to make.
class Marker {
public:
    Marker(HKEY root, const std::string& parent, const std::string& name = "SetupRegTestMarker")
        : root_(root), parent_(parent), key_(parent + "\\" + name), parentExisted_(KeyExists(root, parent)) {
        made_ = PutText(root, key_, "marker", "1");
    }
    ~Marker() {
        RemoveTree(root_, key_);
        if (!parentExisted_) RegDeleteKeyA(root_, parent_.c_str());
    }
    bool made() const { return made_; }
    bool intact() const { return Text(root_, key_, "marker") == "1"; }
    const std::string& key() const { return key_; }

private:
    HKEY root_;
    std::string parent_, key_;
    bool parentExisted_, made_ = false;
};

TEST_F(RegistryEntries, EraseEntriesNeverReachRootsKeysBelowThemOrSystemKeys) {
    struct Case {
        HKEY root;
        std::string parent;  // a marker key is made below it and must survive
        std::string entry;
    };
    const Case cases[] = {
        {HKEY_CURRENT_USER, "SetupRegTestTop", "HKEY_CURRENT_USER\\SetupRegTestTop"},
        {HKEY_CURRENT_USER, "Software", "HKEY_CURRENT_USER\\Software"},
        {HKEY_CURRENT_USER, "Software", "HKEY_CURRENT_USER\\Software\\"},
        {HKEY_CURRENT_USER, "Software\\SetupRegTest", "HKEY_CURRENT_USER\\Software\\\\SetupRegTest"},
        {HKEY_CURRENT_USER, "Software\\Microsoft", "HKEY_CURRENT_USER\\Software\\Microsoft"},
        {HKEY_CURRENT_USER, "Software\\Microsoft", "hkey_current_user\\SOFTWARE\\microsoft"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", "HKLM\\SOFTWARE\\Classes"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {HKEY_CLASSES_ROOT, "SetupRegTestType", "HKEY_CLASSES_ROOT\\SetupRegTestType"},
    };
    for (const Case& c : cases) {
        Marker marker(c.root, c.parent);
        ASSERT_TRUE(marker.made()) << "could not make " << marker.key();
        Erase(c.entry);
        EXPECT_TRUE(marker.intact()) << c.entry << " reached " << marker.key();
    }
    // Nor is the value of that name deleted from the parent.
    ASSERT_TRUE(PutText(HKEY_CURRENT_USER, "Software", "SetupRegTestValue", "1"));
    Erase("HKEY_CURRENT_USER\\SetupRegTestValue");
    Erase("HKEY_CURRENT_USER\\Software\\Microsoft");
    EXPECT_EQ("1", Text(HKEY_CURRENT_USER, "Software", "SetupRegTestValue"));
    HKEY software;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_SET_VALUE, &software));
    RegDeleteValueA(software, "SetupRegTestValue");
    RegCloseKey(software);
}

TEST_F(RegistryEntries, PruningPassesKeysDirectlyBelowARootButNeverASystemKey) {
    // Policies may not exist in a fresh prefix; made here, it is empty once the entry is erased.
    const bool hadPolicies = KeyExists(HKEY_CURRENT_USER, "Software\\Policies");
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, "Software\\Policies\\SetupRegTest\\Sub"));
    Erase("HKEY_CURRENT_USER\\Software\\Policies\\SetupRegTest\\Sub");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Policies\\SetupRegTest")) << "the emptied parent goes";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Policies")) << "a system key stays even when empty";
    if (!hadPolicies) RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Policies");

    // A key directly below a root goes when the entry empties it.
    RemoveTree(HKEY_CURRENT_USER, "SetupRegTestTop");
    ASSERT_TRUE(PutKey(HKEY_CURRENT_USER, "SetupRegTestTop\\Tool"));
    Erase("HKEY_CURRENT_USER\\SetupRegTestTop\\Tool");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SetupRegTestTop"));
    RemoveTree(HKEY_CURRENT_USER, "SetupRegTestTop");
}

}  // namespace
