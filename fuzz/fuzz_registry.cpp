// Registry entries and association commands as authors may write them: the splits cut
// only inside their own text, the guards answer for any path, and a rebuilt command
// never passes its buffer nor leaves a program with a blank unquoted.
#include <stdlib.h>
#include <string.h>
#include "fuzz_input.h"
#include "registry/registry_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    RootKind root = (RootKind)(in.Byte() % 7);
    size_t cap = 1 + in.Byte() % 600;
    std::string entry = in.Text(), name = in.Text(), command = in.Text();

    auto make = Exact(entry);
    MakeEntryParts parts;
    if (SplitMakeEntry(make.get(), &parts)) {
        const char* end = make.get() + entry.size();
        for (const char* p : {parts.root, (const char*)parts.keyPath, parts.valueName, parts.data})
            if (p && (p < make.get() || p > end)) abort();
    }
    auto first = Exact(entry), last = Exact(entry);
    const char* rest = SplitAtFirstBackslash(first.get());
    if (rest && (rest <= first.get() || rest > first.get() + entry.size())) abort();
    SplitAtLastBackslash(last.get());
    RootKindFromName(name.c_str());
    ProtectionOf(root, entry.c_str());
    if (MayRemoveKeyTree(root, entry.c_str()) && ProtectionOf(root, entry.c_str()) != KeyProtection::None) abort();
    // A single component below a root is never removed as a whole.
    if (!entry.empty() && entry.find('\\') == std::string::npos && MayRemoveKeyTree(root, entry.c_str())) abort();
    // A value or key named in the system's areas or below a system type never goes whole.
    if (MayRemoveKeyTree(RootKind::LocalMachine, ("SOFTWARE\\Microsoft\\" + entry).c_str()) ||
        MayRemoveKeyTree(RootKind::ClassesRoot, ("exefile\\" + entry).c_str()))
        abort();
    std::unique_ptr<char[]> fact(new char[cap]);
    if (RegistryFactText(root, entry.c_str(), name.empty() ? nullptr : name.c_str(), fact.get(), cap) &&
        strnlen(fact.get(), cap) >= cap)
        abort();
    auto uninstall = Exact(command);
    const char* uninstaller = UninstallCommandProgram(uninstall.get());
    const char* end = uninstall.get() + command.size();
    if (uninstaller && (uninstaller < uninstall.get() || uninstaller > end || !*uninstaller)) abort();
    IsSingleKeyName(name.c_str());
    IsProtectedSoftwareKey(name.c_str());
    MayRemoveSettingsKeys(name.c_str(), entry.c_str());
    IsRefusedFileType(name.c_str());
    if (IsSystemFileType(name.c_str()) && !IsRefusedFileType(name.c_str())) abort();
    IsRefusedExtension(name.c_str());

    auto split = Exact(command);
    CommandParts commandParts;
    SplitAssociationCommand(split.get(), &commandParts);
    std::unique_ptr<char[]> out(new char[cap]);
    const char* program = commandParts.program ? commandParts.program : "";
    if (BuildAssociationCommand(commandParts.quoted, program, commandParts.arguments, out.get(), cap)) {
        if (strnlen(out.get(), cap) >= cap) abort();
        // A program with a blank never reaches the line unquoted.
        if (strchr(program, ' ') && out.get()[0] != '"') abort();
    }
    return 0;
}
