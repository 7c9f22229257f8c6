#include "tool/manifest.h"
#include <windows.h>
#include "base/sha256.h"
#include "base/text.h"
#include "install/choices.h"
#include "script/script.h"

namespace {

const char kManifestVersion[] = "1.6.0";

std::string IdentifierPart(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c <= ' ' || std::string(".\\/:*?\"<>|").find((char)c) != std::string::npos) continue;
        if (out.size() == 32) break;
        out += (char)c;
    }
    return out.empty() ? "Product" : out;
}

// The script's ANSI text as UTF-8.
std::string Utf8(const std::string& ansi) {
    if (ansi.empty()) return "";
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &wide[0], n);
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(m, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
    return out;
}

std::string Header(const ManifestInput& in) {
    return std::string("# Made by SetupTool manifest.\n") + "PackageIdentifier: " + PackageIdentifier(in) +
           "\nPackageVersion: " + YamlQuoted(in.version) + "\n";
}

std::string Footer(const char* type) {
    return std::string("ManifestType: ") + type + "\nManifestVersion: " + kManifestVersion + "\n";
}

// The machine of the executable's header: x64 or x86 (empty when it is neither).
std::string ArchitectureOf(const std::string& exe) {
    HANDLE file = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    unsigned char head[1024];
    DWORD read = 0;
    ReadFile(file, head, sizeof head, &read, nullptr);
    CloseHandle(file);
    if (read < 0x40 || head[0] != 'M' || head[1] != 'Z') return "";
    DWORD pe = head[0x3c] | head[0x3d] << 8 | head[0x3e] << 16 | (DWORD)head[0x3f] << 24;
    if (pe > read - 6 || memcmp(head + pe, "PE\0\0", 4) != 0) return "";
    unsigned machine = head[pe + 4] | head[pe + 5] << 8;
    return machine == 0x8664 ? "x64" : machine == 0x14c ? "x86" : "";
}

bool FileSha256(const std::string& path, std::string* hex) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    Sha256 h;
    std::vector<char> buffer(1 << 16);
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer.data(), (DWORD)buffer.size(), &read, nullptr) != FALSE) && read > 0)
        h.Add(buffer.data(), read);
    CloseHandle(file);
    uint8_t digest[32];
    h.Finish(digest);
    char text[65];
    Sha256Hex(digest, text);
    *hex = text;
    return ok;
}

std::string Read(const char* section, const char* key, const std::string& script) {
    char value[kValueSize];
    return ReadText(section, key, value, sizeof value, script.c_str()) ? value : "";
}

}  // namespace

std::string YamlQuoted(const std::string& utf8) {
    std::string out = "'";
    for (char c : utf8) {
        if (c == '\'') out += '\'';
        if (c == '\r' || c == '\n') c = ' ';
        out += c;
    }
    return out + "'";
}

std::string PackageIdentifier(const ManifestInput& in) {
    return IdentifierPart(in.publisher.empty() ? in.name : in.publisher) + "." + IdentifierPart(in.name);
}

std::vector<ManifestFile> MakeManifests(const ManifestInput& in) {
    const std::string id = PackageIdentifier(in);
    std::vector<ManifestFile> files;
    files.push_back({id + ".yaml", Header(in) + "DefaultLocale: en-US\n" + Footer("version")});

    std::string installer = Header(in);
    installer +=
        "InstallerType: zip\n"
        "NestedInstallerType: exe\n"
        "NestedInstallerFiles:\n"
        "  - RelativeFilePath: Setup.exe\n"
        "Scope: machine\n"
        "ElevationRequirement: elevatesSelf\n"
        "InstallModes:\n"
        "  - interactive\n"
        "  - silent\n"
        "  - silentWithProgress\n"
        "InstallerSwitches:\n"
        "  Silent: /S\n"
        "  SilentWithProgress: /passive\n"
        "  InstallLocation: /D=<INSTALLPATH>\n"
        "  Log: /LOG=<LOGPATH>\n"
        "InstallerSuccessCodes:\n"
        "  - 3010\n"
        "ExpectedReturnCodes:\n"
        "  - InstallerReturnCode: 3010\n"
        "    ReturnResponse: rebootRequiredToFinish\n"
        "  - InstallerReturnCode: 1641\n"
        "    ReturnResponse: rebootInitiated\n"
        "  - InstallerReturnCode: 1602\n"
        "    ReturnResponse: cancelledByUser\n"
        "  - InstallerReturnCode: 1639\n"
        "    ReturnResponse: invalidParameter\n"
        "  - InstallerReturnCode: 1603\n"
        "    ReturnResponse: contactSupport\n"
        "UpgradeBehavior: install\n"
        "AppsAndFeaturesEntries:\n";
    installer += "  - DisplayName: " + YamlQuoted(Utf8(in.name)) + "\n";
    if (!in.publisher.empty()) installer += "    Publisher: " + YamlQuoted(Utf8(in.publisher)) + "\n";
    installer += "    DisplayVersion: " + YamlQuoted(in.version) + "\n";
    installer += "    ProductCode: " + YamlQuoted(Utf8(in.keyName)) + "\n";
    installer += "Installers:\n";
    installer += "  - Architecture: " + (in.architecture.empty() ? std::string("x86") : in.architecture) + "\n";
    installer += "    InstallerUrl: " + YamlQuoted(in.url) + "\n";
    installer += "    InstallerSha256: " + (in.sha256.empty() ? std::string(64, '0') : in.sha256) + "\n";
    files.push_back({id + ".installer.yaml", installer + Footer("installer")});

    std::string locale = Header(in);
    locale += "PackageLocale: en-US\n";
    locale += "Publisher: " + YamlQuoted(Utf8(in.publisher.empty() ? in.name : in.publisher)) + "\n";
    locale += "PackageName: " + YamlQuoted(Utf8(in.name)) + "\n";
    locale += "License: Proprietary\n";
    locale += "ShortDescription: " + YamlQuoted(Utf8(in.name) + " " + in.version) + "\n";
    files.push_back({id + ".locale.en-US.yaml", locale + Footer("defaultLocale")});

    const bool wow = in.architecture == "x86";
    std::string text;
    text += "Product: " + Utf8(in.name) + " " + in.version + "\r\n\r\n";
    text += "Install (from the unpacked package's folder):\r\n  Setup.exe /S /LOG=\"%TEMP%\\Setup " + Utf8(in.name) +
            ".log\"\r\n";
    text += "  with a folder of your own: Setup.exe /S /D=C:\\Path\\To\\Folder (last on the line)\r\n\r\n";
    text += "Uninstall:\r\n  the registered QuietUninstallString, i.e. \"<install folder>\\Setup.exe\" uninstall /S\r\n\r\n";
    text += "Success: exit codes 0 and 3010 (a restart finishes the install); 1641 restarting; 1602 cancelled;\r\n";
    text += "  1603 failed; 1639 bad command line.\r\n\r\n";
    text += "Detection rule (registry):\r\n";
    text += std::string("  key   HKEY_LOCAL_MACHINE\\SOFTWARE\\") + (wow ? "WOW6432Node\\" : "") +
            "Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Utf8(in.keyName) + "\r\n";
    if (wow) text += "        (the 32-bit view: a tool that reads the 32-bit view names it without WOW6432Node)\r\n";
    text += "  value DisplayVersion equals " + in.version + "\r\n";
    files.push_back({"deployment.txt", text});
    return files;
}

int WriteManifests(const std::string& folder, const std::string& version, const std::string& url,
                   const std::string& package, const std::string& outFolder, std::string* report, std::string* errors) {
    const std::string script = folder + "\\Setup.ini";
    if (GetFileAttributesA(script.c_str()) == INVALID_FILE_ATTRIBUTES) {
        *errors += "SetupTool: no Setup.ini in " + folder + "\n";
        return 2;
    }
    ManifestInput in;
    in.name = Read("Setup", "Name", script);
    in.publisher = Read("Setup", "Publisher", script);
    in.version = version.empty() ? Read("Setup", "Version", script) : version;
    if (in.version.empty()) {
        *errors += "SetupTool: no version: give --version or [Setup] Version\n";
        return 2;
    }
    DialogChoices c;
    ReadDialogChoices(script.c_str(), &c);
    in.keyName = c.rootName;
    in.architecture = ArchitectureOf(folder + "\\Setup.exe");
    if (in.architecture.empty()) *errors += "SetupTool: warning: no Setup.exe in the folder: the architecture is taken as x86\n";
    if (!package.empty()) {
        if (!FileSha256(package, &in.sha256)) {
            *errors += "SetupTool: the package " + package + " cannot be read\n";
            return 2;
        }
        in.packageName = LastComponent(package.c_str());
    } else {
        *errors += "SetupTool: warning: without --package the installer's SHA-256 is left as zeros\n";
    }
    in.url = url;
    if (in.url.empty()) {
        in.url = "https://example.invalid/" + (in.packageName.empty() ? PackageIdentifier(in) + ".zip" : in.packageName);
        *errors += "SetupTool: warning: without --url the InstallerUrl is a placeholder: " + in.url + "\n";
    }
    CreateDirectoryA(outFolder.c_str(), nullptr);
    for (const ManifestFile& f : MakeManifests(in)) {
        std::string path = outFolder + "\\" + f.name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, f.text.data(), (DWORD)f.text.size(), &written, nullptr) &&
                  written == f.text.size();
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (!ok) {
            *errors += "SetupTool: " + path + " cannot be written\n";
            return 2;
        }
        *report += path + "\n";
    }
    return 0;
}
