// [Reg] entries made and erased against the test prefix's registry, and the two key
// removals beneath them.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "registry/registry.h"
#include "registry/registry_keys.h"
#include "registry_fixtures.h"
#include "script/created.h"

using namespace regtest;

namespace {

const HKEY kUser = HKEY_CURRENT_USER;

class RegistryEntries : public testing::Test {
protected:
    // A record written before facts were kept: outside the system's areas the erase
    // entries take what they name and prune every emptied key.
    void SetUp() override { UseScript({"[Root]", "Named=C:\\App", "[CopiedFile]", "Count=1"}); }
    static void Make(const std::string& entry) { MakeRegistryEntry(Buffer(entry).data()); }
    static void Erase(const std::string& entry) { EraseRegistryEntry(Buffer(entry).data()); }
    ScopedTree user_{kUser, "Software\\SetupRegTest"};
    ScopedTree machine_{HKEY_LOCAL_MACHINE, "SOFTWARE\\SetupRegTest"};
};

TEST_F(RegistryEntries, MakeEntriesWriteStringValuesBelowTheNamedRoot) {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string hkcu = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\";
    const struct {
        std::string entry;
        HKEY root;
        std::string key;
        const char* value;
        std::string want;
    } cases[] = {
        {hkcu + "Tool\\\\Mode\\!fast", kUser, user_ / "Tool", "Mode", "fast"},
        {"hkey_current_user\\Software\\SetupRegTest\\Tool\\\\\\!ready", kUser, user_ / "Tool", "", "ready"},
        {"HKLM\\SOFTWARE\\SetupRegTest\\Short\\\\Mode\\!fast", HKEY_LOCAL_MACHINE, machine_ / "Short", "Mode", "fast"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\SetupRegTest\\Long\\\\Mode\\!x", HKEY_LOCAL_MACHINE, machine_ / "Long", "Mode",
         "x"},
        {hkcu + "Bang\\\\Mode\\!", kUser, user_ / "Bang", "Mode", "!"},  // empty expansion: the text itself
        {hkcu + "Token\\\\Path\\%root%bin\\tool.exe", kUser, user_ / "Token", "Path", "C:\\App\\bin\\tool.exe"},
        {hkcu + "Token\\\\Fonts\\%WINDOWS%\\Fonts", kUser, user_ / "Token", "Fonts", std::string(windows) + "\\Fonts"},
        // Plain text is a file name: looked up as a program, else joined to the install folder.
        {hkcu + "Plain\\\\Mode\\fast", kUser, user_ / "Plain", "Mode", "C:\\App\\fast"},
        {hkcu + "NoData\\\\Mode", kUser, user_ / "NoData", "Mode", "<absent>"},
        {hkcu + "Keys\\Deep\\Deeper", kUser, user_ / "Keys\\Deep\\Deeper", "", "<absent>"},
        // "!" and the text fill the 259 bytes an expansion takes; cut, it would be another text.
        {hkcu + "Fits\\\\Mode\\!" + std::string(258, 'x'), kUser, user_ / "Fits", "Mode", std::string(258, 'x')},
        {hkcu + "Cut\\\\Mode\\!" + std::string(259, 'x'), kUser, user_ / "Cut", "Mode", "<absent>"},
    };
    for (const auto& c : cases) {
        Make(c.entry);
        EXPECT_TRUE(KeyExists(c.root, c.key)) << c.entry << ": key " << c.key << " not made";
        EXPECT_EQ(c.want, Text(c.root, c.key, c.value)) << c.entry;
    }
    for (const char* key : {"Keys\\Deep\\Deeper", "NoData"})
        EXPECT_TRUE(Names(kUser, user_ / key, true).empty()) << key << ": no value at all";
}

TEST_F(RegistryEntries, ListsRunToTheFirstGapAndTakeEntriesOf1039Bytes) {
    // Three components of 250 bytes keep every key name within the registry's limit.
    const std::string keys = "Long\\" + std::string(250, 'a') + "\\" + std::string(250, 'b') + "\\" + std::string(250, 'c');
    const std::string head = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\" + keys + "\\\\V\\!";
    const std::string data = std::string(1039 - head.size() - 3, 'd') + "END";
    ASSERT_EQ(1039u, (head + data).size());
    std::string script = UseScript({"[Root]", "Named=C:\\App", "[Reg]", "Make0=" + head + data,
                                    "Make1=HKEY_CURRENT_USER\\Software\\SetupRegTest\\List\\\\One\\!1",
                                    "Make3=HKEY_CURRENT_USER\\Software\\SetupRegTest\\List\\\\Three\\!3",
                                    "Erase0=HKEY_CURRENT_USER\\Software\\SetupRegTest\\List\\One"});
    ApplyRegistryEntries(script.c_str(), true);
    EXPECT_EQ(data, Text(kUser, user_ / keys, "V")) << "the 1039-byte entry arrives whole";
    EXPECT_EQ("1", Text(kUser, user_ / "List", "One"));
    EXPECT_EQ("<absent>", Text(kUser, user_ / "List", "Three")) << "Make3 lies beyond the gap";
    ApplyRegistryEntries(script.c_str(), false);
    EXPECT_EQ("<absent>", Text(kUser, user_ / "List", "One")) << "Erase0 deletes the value";
    EXPECT_EQ(data, Text(kUser, user_ / keys, "V")) << "erasing applies the Erase list only";
}

TEST_F(RegistryEntries, EraseRemovesTheSubtreeAndTheValueThenPrunesEmptiedParents) {
    const std::string erase = user_ / "Erase", hkcu = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\Erase\\";
    ASSERT_TRUE(PutText(kUser, erase + "\\Tool\\Mode\\Sub", "x", "1") && PutText(kUser, erase + "\\Tool\\Mode", "a", "2") &&
                PutText(kUser, erase + "\\Tool", "Mode", "same name") && PutKey(kUser, erase + "\\Keep") &&
                PutText(kUser, erase + "\\Flags", "Flag", "1") && PutText(kUser, erase + "\\Flags", "Other", "2") &&
                PutText(kUser, erase + "\\Defaulted\\Gone", "", "x") && PutText(kUser, erase + "\\Defaulted", "", "d") &&
                PutKey(kUser, erase + "\\Hollow"));
    Erase(hkcu + "Tool\\Mode");
    EXPECT_FALSE(KeyExists(kUser, erase + "\\Tool")) << "Mode with all below it, the value Mode, then emptied Tool";
    EXPECT_TRUE(KeyExists(kUser, erase)) << "pruning stops at a key still holding others";
    Erase(hkcu + "Flags\\Flag");
    EXPECT_EQ("<absent>", Text(kUser, erase + "\\Flags", "Flag"));
    EXPECT_EQ("2", Text(kUser, erase + "\\Flags", "Other"));
    Erase(hkcu + "Defaulted\\Gone");
    EXPECT_FALSE(KeyExists(kUser, erase + "\\Defaulted\\Gone"));
    EXPECT_EQ("d", Text(kUser, erase + "\\Defaulted", "")) << "a key holding a default value is not empty";
    Erase(hkcu + "Hollow\\Nothing");  // neither key nor value, but the empty parent goes
    EXPECT_FALSE(KeyExists(kUser, erase + "\\Hollow"));
    EXPECT_TRUE(KeyExists(kUser, erase + "\\Keep"));
}

TEST_F(RegistryEntries, DeleteKeyIfEmptyRemovesOnlyKeysSeenEmpty) {
    const std::string base = user_ / "IfEmpty";
    // A value name longer than the 260-byte listing buffer is still a value.
    ASSERT_TRUE(PutKey(kUser, base + "\\Empty") && PutText(kUser, base + "\\DefaultOnly", "", "d") &&
                PutKey(kUser, base + "\\WithSubkey\\Child") &&
                PutText(kUser, base + "\\LongValueName", std::string(300, 'n').c_str(), "1"));
    const std::pair<const char*, bool> cases[] = {
        {"Empty", true}, {"DefaultOnly", false}, {"WithSubkey", false}, {"LongValueName", false}, {"Missing", false}};
    HKEY parent = OpenKey(kUser, base, KEY_ALL_ACCESS);
    ASSERT_TRUE(parent);
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, DeleteKeyIfEmpty(parent, c.first)) << c.first;
        EXPECT_EQ(!c.second && std::string(c.first) != "Missing", KeyExists(kUser, base + "\\" + c.first)) << c.first;
    }
    EXPECT_FALSE(DeleteKeyIfEmpty(parent, "") || DeleteKeyTree(parent, "")) << "an empty name is the parent itself";
    EXPECT_TRUE(KeyExists(kUser, base + "\\DefaultOnly"));
    RegCloseKey(parent);
}

// An empty access list keeps a key closed and undeletable; its owner may put a permissive one back.
bool SetDenyAll(const std::string& key, bool deny) {
    HKEY k = OpenKey(kUser, key, WRITE_DAC);
    if (!k) return false;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    BYTE buffer[64];
    InitializeAcl(reinterpret_cast<PACL>(buffer), sizeof buffer, ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, deny ? reinterpret_cast<PACL>(buffer) : nullptr, FALSE);
    LONG rc = RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

struct TreeCall {
    HKEY parent;
    bool result = true;
    static DWORD WINAPI Run(void* self) {
        TreeCall* call = static_cast<TreeCall*>(self);
        call->result = DeleteKeyTree(call->parent, "Stuck");
        return 0;
    }
};

TEST_F(RegistryEntries, DeleteKeyTreeEndsAtASubkeyThatCannotBeDeleted) {
    const std::string stuck = user_ / "Stuck";
    ASSERT_TRUE(PutText(kUser, stuck + "\\a\\grand", "v", "1") && PutKey(kUser, stuck + "\\b"));
    ASSERT_TRUE(SetDenyAll(stuck + "\\a", true));
    ASSERT_FALSE(OpenKey(kUser, stuck + "\\a", KEY_ENUMERATE_SUB_KEYS)) << "the key is not closed; this proves nothing";
    TreeCall call{OpenKey(kUser, user_.key(), KEY_ALL_ACCESS)};
    HANDLE thread = CreateThread(nullptr, 0, TreeCall::Run, &call, 0, nullptr);
    bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended) << "DeleteKeyTree still runs after 10 s on a subkey that cannot be deleted";
    if (!ended) TerminateThread(thread, 1);
    CloseHandle(thread);
    EXPECT_FALSE(call.result) << "reported removed although a subkey stayed";
    EXPECT_TRUE(KeyExists(kUser, stuck + "\\a\\grand")) << "the locked subtree stays";

    ASSERT_TRUE(SetDenyAll(stuck + "\\a", false));
    EXPECT_TRUE(DeleteKeyTree(call.parent, "Stuck")) << "once it can be opened the whole tree goes";
    EXPECT_FALSE(KeyExists(kUser, stuck));
    RegCloseKey(call.parent);
}

TEST_F(RegistryEntries, EraseEntriesNeverReachRootsKeysBelowThemOrSystemKeys) {
    const struct {
        HKEY root;
        std::string parent;  // a marker key made below it must survive
        std::string entry;
    } cases[] = {
        {kUser, "SetupRegTestTop", "HKEY_CURRENT_USER\\SetupRegTestTop"},
        {kUser, "Software", "HKEY_CURRENT_USER\\Software"},
        {kUser, "Software", "HKEY_CURRENT_USER\\Software\\"},
        {kUser, "Software\\SetupRegTest", "HKEY_CURRENT_USER\\Software\\\\SetupRegTest"},
        {kUser, "Software\\Microsoft", "hkey_current_user\\SOFTWARE\\microsoft"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", "HKLM\\SOFTWARE\\Classes"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {HKEY_CLASSES_ROOT, "SetupRegTestType", "HKEY_CLASSES_ROOT\\SetupRegTestType"},
    };
    // Nor is the value of the refused name deleted.
    ASSERT_TRUE(PutText(kUser, "Software", "Microsoft", "a value named like the refused key"));
    for (const auto& c : cases) {
        const std::string marker = c.parent + "\\SetupRegTestMarker";
        const bool parentExisted = KeyExists(c.root, c.parent);
        ASSERT_TRUE(PutText(c.root, marker, "marker", "1")) << marker;
        Erase(c.entry);
        EXPECT_EQ("1", Text(c.root, marker, "marker")) << c.entry << " reached " << marker;
        RemoveTree(c.root, marker);
        if (!parentExisted) RegDeleteKeyA(c.root, c.parent.c_str());
    }
    EXPECT_EQ("a value named like the refused key", Text(kUser, "Software", "Microsoft"));
    HKEY software = OpenKey(kUser, "Software", KEY_SET_VALUE);
    RegDeleteValueA(software, "Microsoft");
    RegCloseKey(software);

    // Pruning passes an emptied key directly below a root; below the system's areas no key
    // is erased or pruned at all. Policies may not exist in a fresh prefix.
    const bool hadPolicies = KeyExists(kUser, "Software\\Policies");
    ASSERT_TRUE(PutKey(kUser, "Software\\Policies\\SetupRegTest\\Sub") && PutKey(kUser, "SetupRegTestTop\\Tool"));
    Erase("HKEY_CURRENT_USER\\Software\\Policies\\SetupRegTest\\Sub");
    Erase("HKEY_CURRENT_USER\\SetupRegTestTop\\Tool");
    EXPECT_TRUE(KeyExists(kUser, "Software\\Policies\\SetupRegTest\\Sub")) << "a key below Policies stays";
    EXPECT_FALSE(KeyExists(kUser, "SetupRegTestTop")) << "an emptied key directly below a root goes";
    RemoveTree(kUser, "Software\\Policies\\SetupRegTest");
    if (!hadPolicies) RegDeleteKeyA(kUser, "Software\\Policies");
}

// An install of [Reg] entries into a record that keeps facts, the earlier install's
// record being earlier; the uninstall then reads the same record.
std::string InstallEntries(const std::vector<std::string>& entries, const std::string& earlier = "") {
    std::vector<std::string> lines = {"[Root]", "Named=C:\\App", "[CopiedFile]", "Count=1", "[Reg]"};
    lines.insert(lines.end(), entries.begin(), entries.end());
    std::string script = UseScript(lines);
    StartCreatedFacts(script.c_str());
    CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, earlier.c_str());
    ApplyRegistryEntries(script.c_str(), true);
    return script;
}

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunOnce = kRun + "Once";

TEST_F(RegistryEntries, InTheSystemsAreasOnlyTheValuesThisInstallWroteGoAndNoKeyThatWasThereIsPruned) {
    const std::string hkcu = "HKEY_CURRENT_USER\\", mine = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\";
    const bool hadRunOnce = KeyExists(kUser, kRunOnce);
    // Another program's autostart value, an empty RunOnce and an empty key of the user's.
    ASSERT_TRUE(PutText(kUser, kRun, "SetupRegTestOther", "other.exe") && PutKey(kUser, kRunOnce) &&
                PutKey(kUser, user_ / "Existing"));
    const std::vector<std::pair<HKEY, std::string>> watched = {
        {kUser, kRun},
        {kUser, kRunOnce},
        {kUser, user_.key()},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager"},
        {HKEY_CLASSES_ROOT, "exefile"},
    };
    auto dump = [&] {
        std::string out;
        for (const auto& w : watched) out += Dump(w.first, {w.second});
        return out;
    };
    for (const auto& w : watched) ASSERT_TRUE(KeyExists(w.first, w.second)) << w.second << ": nothing to protect";
    const std::string before = dump();
    const std::string script = InstallEntries({
        "Make0=" + hkcu + kRun + "\\\\SetupRegTestRun\\!notes.exe",
        "Make1=" + hkcu + kRunOnce + "\\\\SetupRegTestOnce\\!notes.exe /first",
        "Make2=" + mine + "Existing\\\\Mode\\!1",
        "Make3=" + mine + "Made\\Deep\\\\Mode\\!1",
        "Erase0=" + hkcu + kRun + "\\SetupRegTestRun",
        "Erase1=" + hkcu + kRun + "\\SetupRegTestOther",
        "Erase2=" + hkcu + kRunOnce + "\\SetupRegTestOnce",
        "Erase3=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
        "Erase4=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer",
        "Erase5=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
        "Erase6=HKEY_CLASSES_ROOT\\exefile\\shell",
        "Erase7=" + hkcu + kRun,
        "Erase8=" + mine + "Existing\\Mode",
        "Erase9=" + mine + "Made\\Deep",
    });
    EXPECT_EQ("notes.exe", Text(kUser, kRun, "SetupRegTestRun"));
    EXPECT_EQ("notes.exe /first", Text(kUser, kRunOnce, "SetupRegTestOnce"));
    EXPECT_EQ("1", Text(kUser, user_ / "Made\\Deep", "Mode"));
    CreatedFacts facts(script.c_str());
    ASSERT_EQ(CreatedFacts::Source::Facts, facts.source());
    EXPECT_TRUE(facts.Holds("RegValue", ("HKEY_CURRENT_USER\\" + kRun + "\\\\SetupRegTestRun").c_str()));
    EXPECT_TRUE(facts.Holds("RegKey", "HKEY_CURRENT_USER\\Software\\SetupRegTest\\Made\\Deep"));
    EXPECT_FALSE(facts.Holds("RegKey", "HKEY_CURRENT_USER\\Software\\SetupRegTest\\Existing")) << "it was there";
    EXPECT_FALSE(facts.Holds("RegKey", ("HKEY_CURRENT_USER\\" + kRunOnce).c_str())) << "it was there";

    ApplyRegistryEntries(script.c_str(), false);
    EXPECT_EQ(before, dump()) << "the uninstall took more than this install made";
    EXPECT_FALSE(KeyExists(kUser, user_ / "Made")) << "the keys this install made go";

    // A record from before the facts were kept proves nothing: the product's own value stays.
    const std::string older = UseScript({"[Root]", "Named=C:\\App", "[CopiedFile]", "Count=1", "[Reg]",
                                         "Erase0=" + hkcu + kRun + "\\SetupRegTestRun"});
    ASSERT_TRUE(PutText(kUser, kRun, "SetupRegTestRun", "notes.exe"));
    ApplyRegistryEntries(older.c_str(), false);
    EXPECT_EQ("notes.exe", Text(kUser, kRun, "SetupRegTestRun"));
    // Nor does a fact without a make entry that wrote the value as it is now: one that came
    // with the file, or a value another program changed since.
    const std::string winlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    const std::string shell = Text(HKEY_LOCAL_MACHINE, winlogon, "Shell");
    ASSERT_NE("<absent>", shell);
    const std::string forged = UseScript({"[Root]", "Named=C:\\App", "[CopiedFile]", "Count=1", "[Created]", "Recorded=1",
                                          "RegValue0=HKEY_LOCAL_MACHINE\\" + winlogon + "\\\\Shell", "[Reg]",
                                          "Erase0=HKEY_LOCAL_MACHINE\\" + winlogon + "\\Shell"});
    ApplyRegistryEntries(forged.c_str(), false);
    EXPECT_EQ(shell, Text(HKEY_LOCAL_MACHINE, winlogon, "Shell")) << "a fact that came with the file";
    const std::string changed = InstallEntries({"Make0=" + hkcu + kRun + "\\\\SetupRegTestRun\\!notes.exe",
                                                "Erase0=" + hkcu + kRun + "\\SetupRegTestRun"});
    ASSERT_TRUE(PutText(kUser, kRun, "SetupRegTestRun", "someone else's.exe"));
    ApplyRegistryEntries(changed.c_str(), false);
    EXPECT_EQ("someone else's.exe", Text(kUser, kRun, "SetupRegTestRun")) << "changed since the install";

    HKEY run = OpenKey(kUser, kRun, KEY_SET_VALUE);
    RegDeleteValueA(run, "SetupRegTestRun");
    RegDeleteValueA(run, "SetupRegTestOther");
    RegCloseKey(run);
    if (!hadRunOnce) RegDeleteKeyA(kUser, kRunOnce.c_str());
}

TEST_F(RegistryEntries, AVersionUpKeepsTheKeysTheEarlierInstallMadeAndNoOthers) {
    const std::string mine = "HKEY_CURRENT_USER\\Software\\SetupRegTest\\";
    ASSERT_TRUE(PutKey(kUser, user_ / "Existing"));
    const std::vector<std::string> entries = {"Make0=" + mine + "Up\\Deep\\\\V\\!1", "Make1=" + mine + "Existing\\\\V\\!1",
                                              "Erase0=" + mine + "Up\\Deep\\V", "Erase1=" + mine + "Existing\\V"};
    const std::string first = InstallEntries(entries);
    // The next install finds every key there already; the first record tells which were made.
    const std::string second = InstallEntries(entries, first);
    CreatedFacts facts(second.c_str());
    EXPECT_TRUE(facts.Holds("RegKey", (mine + "Up").c_str()) && facts.Holds("RegKey", (mine + "Up\\Deep").c_str())) << "carried forward";
    EXPECT_FALSE(facts.Holds("RegKey", (mine + "Existing").c_str()) || facts.Holds("RegKey", "HKEY_CURRENT_USER\\Software"));
    ApplyRegistryEntries(second.c_str(), false);
    EXPECT_FALSE(KeyExists(kUser, user_ / "Up")) << "emptied keys the earlier install made are pruned";
    EXPECT_TRUE(KeyExists(kUser, user_ / "Existing")) << "an empty key of the user's stays";
    EXPECT_TRUE(Names(kUser, user_ / "Existing", true).empty());
}

}  // namespace
