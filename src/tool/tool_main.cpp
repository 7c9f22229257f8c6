// SetupTool: check a Setup.ini, preview its pictures, plan an install and an uninstall.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include "base/sha256.h"
#include "tool/check.h"
#include "tool/console.h"
#include "tool/manifest.h"
#include "tool/plan.h"
#include "tool/preview.h"
#include "tool/seal.h"

namespace {

constexpr int kUsageError = 3;

const char kUsage[] =
    "usage: SetupTool check [FOLDER]\n"
    "       SetupTool preview [FOLDER] [--size WxH] --out DIR\n"
    "       SetupTool plan [--uninstall] [FOLDER]\n"
    "       SetupTool manifest [FOLDER] [--version V] [--url URL] [--package ZIP] --out DIR\n"
    "       SetupTool seal [--verify] [FOLDER]\n"
    "FOLDER holds Setup.ini and the product's files (default: the current folder).\n"
    "check   prints one line per finding, FILE:LINE: error|warning: text; exit status 0 clean,\n"
    "        1 warnings, 2 errors.\n"
    "preview draws the backdrop ([Back], 1024x768 unless --size) and every read-me picture\n"
    "        page into BMP files in DIR.\n"
    "plan    tells what an install with the dialog's default choices would do on this machine,\n"
    "        or with --uninstall what the uninstall of the installed copy would remove.\n"
    "        Nothing is changed.\n"
    "manifest writes a package manager's manifest set (YAML) and deployment.txt (the command\n"
    "        lines, exit codes and a detection rule for management tools) into DIR.\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) PrintError("SetupTool: " + problem + "\n");
    PrintError(kUsage);
    return kUsageError;
}

// The folder as a complete path without a trailing backslash (a root keeps its own).
std::string FullFolder(const std::string& folder) {
    char full[MAX_PATH];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(folder.empty() ? "." : folder.c_str(), sizeof full, full, &name);
    if (n == 0 || n >= sizeof full) return "";
    std::string out = full;
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

bool ParseSize(const char* text, int* w, int* h) {
    char* end = nullptr;
    long width = strtol(text, &end, 10);
    if (!end || (*end != 'x' && *end != 'X')) return false;
    long height = strtol(end + 1, &end, 10);
    if (!end || *end || width < 1 || height < 1 || width > 16384 || height > 16384) return false;
    *w = (int)width;
    *h = (int)height;
    return true;
}

int RunCheck(int argc, char** argv) {
    if (argc > 3) return Usage("check takes one folder");
    std::string given = argc == 3 ? argv[2] : "";
    std::string folder = FullFolder(given);
    if (folder.empty()) return Usage("the folder does not fit a path");
    std::string label = given.empty() ? "Setup.ini"
                                      : given + (given.back() == '\\' || given.back() == '/' ? "" : "\\") + "Setup.ini";
    Findings findings;
    CheckScript(folder, findings);
    CheckSeal(folder, findings);
    Print(findings.Format(label));
    size_t errors = findings.Count(Severity::Error), warnings = findings.Count(Severity::Warning);
    // On its own line even when both streams go to one file.
    if (errors || warnings)
        PrintError(std::string(SameFile(STD_OUTPUT_HANDLE, STD_ERROR_HANDLE) ? "\n" : "") + std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
                   (warnings == 1 ? " warning\n" : " warnings\n"));
    return findings.ExitStatus();
}

int RunPreview(int argc, char** argv) {
    PreviewOptions options;
    std::string given;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (!ParseSize(argv[++i], &options.width, &options.height)) return Usage("--size takes WIDTHxHEIGHT");
        } else if (arg == "--out" && i + 1 < argc) {
            options.outFolder = argv[++i];
        } else if (arg.compare(0, 2, "--") != 0 && given.empty()) {
            given = arg;
        } else {
            return Usage("unknown argument " + arg);
        }
    }
    if (options.outFolder.empty()) return Usage("preview needs --out DIR");
    std::string folder = FullFolder(given);
    options.outFolder = FullFolder(options.outFolder);
    if (folder.empty() || options.outFolder.empty()) return Usage("a folder does not fit a path");
    std::string report, errors;
    bool ok = PreviewScript(GetModuleHandleA(nullptr), folder, options, &report, &errors);
    Print(report);
    PrintError(errors);
    return ok ? 0 : 2;
}

// The arguments of a command that takes one optional switch and a folder: the folder
// made complete in *folder; false (with the usage printed in *status) when they are wrong.
bool SwitchAndFolder(int argc, char** argv, const char* name, bool* on, std::string* folder, int* status) {
    std::string given;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == name) {
            *on = true;
        } else if (arg.compare(0, 2, "--") != 0 && given.empty()) {
            given = arg;
        } else {
            *status = Usage("unknown argument " + arg);
            return false;
        }
    }
    *folder = FullFolder(given);
    if (folder->empty()) {
        *status = Usage("the folder does not fit a path");
        return false;
    }
    return true;
}

// A command's report and errors printed, its status given back.
int Finish(const std::string& report, const std::string& errors, int status) {
    Print(report);
    PrintError(errors);
    return status;
}

int RunPlan(int argc, char** argv) {
    bool uninstall = false;
    std::string folder, out, errors;
    int status = 0;
    if (!SwitchAndFolder(argc, argv, "--uninstall", &uninstall, &folder, &status)) return status;
    bool ok = uninstall ? PlanUninstall(folder, &out, &errors) : PlanInstall(folder, &out, &errors);
    return Finish(out, errors, ok ? 0 : 2);
}

int RunManifest(int argc, char** argv) {
    std::string given, version, url, package, out;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--version" && i + 1 < argc)
            version = argv[++i];
        else if (arg == "--url" && i + 1 < argc)
            url = argv[++i];
        else if (arg == "--package" && i + 1 < argc)
            package = argv[++i];
        else if (arg == "--out" && i + 1 < argc)
            out = argv[++i];
        else if (arg.compare(0, 2, "--") != 0 && given.empty())
            given = arg;
        else
            return Usage("unknown argument " + arg);
    }
    if (out.empty()) return Usage("manifest needs --out DIR");
    std::string folder = FullFolder(given);
    out = FullFolder(out);
    if (folder.empty() || out.empty()) return Usage("a folder does not fit a path");
    std::string report, errors;
    int status = WriteManifests(folder, version, url, package, out, &report, &errors);
    return Finish(report, errors, status);
}

int RunSeal(int argc, char** argv) {
    bool verify = false;
    std::string folder, report, errors;
    int status = 0;
    if (!SwitchAndFolder(argc, argv, "--verify", &verify, &folder, &status)) return status;
    status = verify ? VerifySeal(folder, &report, &errors) : SealFolder(folder, &report, &errors);
    return Finish(report, errors, status);
}

}  // namespace

int main(int argc, char** argv) {
    // A missing disk must not stop the tool with a system error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    Sha256::UseProcessorInstructions(true);
    if (argc < 2) return Usage("");
    std::string command = argv[1];
    if (command == "check") return RunCheck(argc, argv);
    if (command == "preview") return RunPreview(argc, argv);
    if (command == "plan") return RunPlan(argc, argv);
    if (command == "manifest") return RunManifest(argc, argv);
    if (command == "seal") return RunSeal(argc, argv);
    if (command == "help" || command == "--help" || command == "/?") {
        Print(kUsage);
        return 0;
    }
    return Usage("unknown command " + command);
}
