// SetupTool's plan beside the real run, for any staged product: the plan is made before
// an install or an uninstall, and afterwards every file, folder, shortcut, key and value
// it promised must be there (or gone), and every file the install put into the install
// folder must be one the plan named. The end-to-end groups run it for their products.
#pragma once
#include <windows.h>
#include <stdlib.h>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "e2e_helpers.h"
#include "listing.h"
#include "plan_lines.h"
#include "stage.h"

namespace plancheck {

inline std::string ToolPath() {
    const char* host = getenv("SETUP_TOOL");
    return host ? stage::HostToWindows(host) : std::string();
}

// Runs SetupTool with arguments; its standard output and errors in *out. The exit code,
// or 99 when it did not run or end within a minute.
inline DWORD RunTool(const std::string& arguments, std::string* out) {
    // In the temporary folder, which the drive listings of the tests leave out.
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    // A file of its own for each run: the last run's tool may still hold its file open
    // for a moment after it has ended, and its output must not be read as this one's.
    static int serial = 0;
    const std::string file = std::string(temp) + "setuptool-output-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++serial) + ".txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        *out = "";
        return 99;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION p{};
    std::string line = "\"" + ToolPath() + "\" " + arguments;
    DWORD code = 99;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &p)) {
        if (WaitForSingleObject(p.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(p.hProcess, &code);
        CloseHandle(p.hThread);
        CloseHandle(p.hProcess);
    }
    CloseHandle(output);
    *out = stage::ReadFile(file);
    DeleteFileA(file.c_str());
    return code;
}

// SetupTool plan [--uninstall] for the folder; its output ("" when the tool is not there).
inline std::string PlanText(const std::string& folder, bool uninstall, DWORD* code = nullptr) {
    if (ToolPath().empty()) return "";
    std::string out;
    DWORD exit = RunTool(std::string("plan ") + (uninstall ? "--uninstall " : "") + "\"" + folder + "\"", &out);
    if (code) *code = exit;
    return out;
}

inline bool IsKey(const std::string& object) { return object.compare(0, 5, "HKEY_") == 0; }

inline HKEY RootOf(const std::string& object, std::string* path) {
    static const struct {
        const char* name;
        HKEY key;
    } roots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                 {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                 {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                 {"HKEY_USERS", HKEY_USERS}};
    for (const auto& r : roots) {
        size_t n = strlen(r.name);
        if (object.compare(0, n, r.name) == 0 && (object.size() == n || object[n] == '\\')) {
            *path = object.size() > n ? object.substr(n + 1) : "";
            return r.key;
        }
    }
    return nullptr;
}

inline bool KeyThere(const std::string& object) {
    std::string path;
    HKEY root = RootOf(object, &path);
    HKEY key;
    if (!root || RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A value line's name: its detail begins "name" (= ...).
inline bool ValueThere(const std::string& object, const std::string& detail, bool* named) {
    *named = detail.size() > 1 && detail[0] == '"';
    if (!*named) return false;
    std::string name = detail.substr(1, detail.find('"', 1) - 1);
    std::string path;
    HKEY root = RootOf(object, &path);
    HKEY key;
    if (!root || RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool there = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return there;
}

// What the plan promised and the machine does not hold, one line each ("" when it all
// came true). Only outcomes whose truth the machine shows are checked, and for each thing
// the last line about it counts: what a step makes or keeps is there, what a step removes
// (or opens and then deletes) is gone.
inline std::string Broken(const std::vector<plan::Line>& lines) {
    static const std::set<std::string> made = {"new", "replace", "overwrite", "make", "exists", "keep", "new-key"};
    static const std::set<std::string> gone = {"remove", "remove-folder", "remove-key"};
    std::map<std::string, const plan::Line*> last;  // the last line that decides a thing's state
    std::vector<std::string> order;
    for (const plan::Line& l : lines) {
        const bool deletes = l.outcome == "open" && l.detail.find("(then deleted)") != std::string::npos;
        if (!made.count(l.outcome) && !gone.count(l.outcome) && !deletes) continue;
        const std::string key = e2e::Lower(l.object);
        if (!last.count(key)) order.push_back(key);
        last[key] = &l;
    }
    std::string out;
    for (const std::string& key : order) {
        const plan::Line& l = *last[key];
        const std::string what = "  " + l.outcome + "  " + l.object + "  " + l.detail + "\n";
        const bool there = IsKey(l.object) ? KeyThere(l.object) : stage::Exists(l.object);
        if (made.count(l.outcome) && !there) out += "not there:" + what;
        if (!made.count(l.outcome) && there) out += "still there:" + what;
    }
    for (const plan::Line& l : lines) {
        bool named = false;
        const std::string what = "  " + l.outcome + "  " + l.object + "  " + l.detail + "\n";
        if (l.outcome == "remove-value" && ValueThere(l.object, l.detail, &named)) out += "still there:" + what;
        auto key = last.find(e2e::Lower(l.object));
        const bool keyGone = key != last.end() && !made.count(key->second->outcome);
        if ((l.outcome == "set" || l.outcome == "same") && !keyGone && !ValueThere(l.object, l.detail, &named) && named)
            out += "no value:" + what;
    }
    return out;
}

// The files under folder, lower-cased.
inline std::set<std::string> FilesUnder(const std::string& folder) {
    listing::FileOptions options;
    options.detail = listing::FileDetail::None;
    options.lowerCase = true;
    std::set<std::string> out;
    for (const auto& entry : listing::Files(folder, options))
        if (entry.first.compare(0, 5, "file ") == 0) out.insert(entry.first.substr(5));
    return out;
}

// Every file under folder that no line of the plan names and that was not there before
// ("" when there is none).
inline std::string Unplanned(const std::vector<plan::Line>& lines, const std::string& folder,
                             const std::set<std::string>& before = {}) {
    std::set<std::string> named;
    for (const plan::Line& l : lines) named.insert(e2e::Lower(l.object));
    std::string out;
    for (const std::string& file : FilesUnder(folder))
        if (!named.count(file) && !before.count(file)) out += "  " + file + "\n";
    return out;
}

// The plan of an install from the stage folder, made before it runs; Check afterwards.
class InstallPlan {
public:
    explicit InstallPlan(const std::string& stageFolder, bool uninstall = false)
        : text_(PlanText(stageFolder, uninstall)), lines_(plan::Lines(text_)) {
        folder_ = InstallFolderOf(lines_);
        if (!folder_.empty()) before_ = FilesUnder(folder_);
    }
    bool available() const { return !text_.empty(); }
    const std::string& text() const { return text_; }
    const std::vector<plan::Line>& lines() const { return lines_; }
    // The disagreements with the machine now; with an install folder also the files in it
    // that the plan never named.
    std::string Disagreements(const std::string& installFolder = "") const {
        std::string out = Broken(lines_);
        if (!installFolder.empty()) {
            std::string extra = Unplanned(lines_, installFolder, before_);
            if (!extra.empty()) out += "files the plan did not name:\n" + extra;
        }
        return out.empty() ? "" : out + "--- the plan:\n" + text_;
    }

    // After the install: what the plan promised is there, and the install folder (the
    // plan's first folder line) holds nothing the plan did not name.
    std::string AfterInstall() const { return Disagreements(folder_); }

    // The install folder: the object of the plan's first folder line.
    static std::string InstallFolderOf(const std::vector<plan::Line>& lines) {
        for (const plan::Line& l : lines)
            if (l.outcome == "make" || l.outcome == "exists") return l.object;
        return "";
    }

private:
    std::string text_;
    std::vector<plan::Line> lines_;
    std::string folder_;
    std::set<std::string> before_;  // what the install folder held when the plan was made
};

}  // namespace plancheck
